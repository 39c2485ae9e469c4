#!/usr/bin/env python3
"""Writes the seeds of the targets of the small text parsers and writers, each a few files under
fuzz/corpus/NAME: references_csv_fuzz, setting_names_fuzz, batch_options_fuzz, file_list_fuzz,
worker_messages_fuzz and row_writers_fuzz. Each seed is laid out as its target's comment says.
"""
import os
import struct
import sys

here = os.path.dirname(os.path.abspath(__file__))


def write(target, name, data):
    folder = os.path.join(here, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode())


def nul(*tokens):
    return b"\0".join(t if isinstance(t, bytes) else t.encode() for t in tokens)


def references():
    t = "references_csv_fuzz"
    write(t, "whole_range.csv", "frequency_hz,level_db\n" +
          "".join("%.4f,%.2f\n" % (i * 1000.0, -10.0 - i) for i in range(8)))
    write(t, "two_grids.csv", 'frequency_hz,10:00:00_db,"take, ""two""_db"\n0.0000,-10.00,\n500.0000,,-1.00\n'
          "1000.0000,-20.00,-2.00\n1500.2500,,-3.00\n2000.0000,-30.00,\n3000.0000,-40.00,\n")
    write(t, "windows_lines.csv", "frequency_hz,note,level_db\r\n0,C,-3\r\n5,D,-inf\r\n7.5,E,-1e2\r\n")
    write(t, "other_columns.csv", "frequency_hz,rank,_db,max_hold_db\n1,1,-3,-2\n2,2,-4,\n3,3,-5,-1\n")
    write(t, "bad_header.csv", "hz,level_db\n0,1\n")
    write(t, "negative_zero.csv", "frequency_hz,level_db\n-0.000,10.00\n0.0000100,-11.00\n2000.0000,-12.00\n")
    write(t, "fine_grid.csv", "frequency_hz,level_db,quiet_db\n1.00001,-3,-inf\n1.00002,-4,-inf\n")


def setting_names():
    t = "setting_names_fuzz"
    write(t, "readable", nul("view=spectrogram", "window=Hann", "transform=4096", "labels=note+cents",
                             "peaks=12", "slice=512", "reference=441.5", "weighting=A"))
    write(t, "measuring", nul("averaging=linear", "response=125", "blocks=16", "maxhold=On", "minhold=off",
                              "hold=500", "traces=mid+side", "peaktrace=second"))
    write(t, "range", nul("low=20", "high=20000", "top=-10", "span=90", "scale=linear", "graph=bar",
                          "levels=on", "memory=on"))
    write(t, "file_keys", nul("fftparam=14", "display=111", "MemSize=200", "Decibel=0", "InputDevice=Monitor of X",
                              "weighting=2", "deltatime=32768", "freq=384000"))
    write(t, "refused", nul("weighting=b", "fftparam=40", "transform=1000", "hold=100", "nosuch=1",
                            "InputDevice= padded", "reference=440.05", "span=10"))
    write(t, "padded_number", nul("freq=" + "0" * 40 + "44100", "sex=" + "0" * 26 + "12345"))


def batch_options():
    t = "batch_options_fuzz"
    write(t, "many_files", b"\0" + nul("--files-from", "list.txt", "-0", "--jobs", "2", "--format", "jsonl",
                                       "--summary", "--out", "rows", "--quiet", "--no-header", "a.wav", "b.flac"))
    write(t, "spectrum", b"\1" + nul("--spectrum", "100,1000.5,1e4", "--size", "800x600", "--png", "out.png",
                                     "--set", "window=hann", "--defaults", "--reference-out", "ref.csv", "take.wav"))
    write(t, "options_end", b"\0" + nul("--set", "view=log", "--", "--jobs", "-0", "--", "x.wav"))
    write(t, "monitor", b"\2" + nul("--device", "Monitor of Built-in", "--seconds", "1.5", "--set", "OnMem=1"))
    write(t, "refused", b"\1" + nul("--jobs", "0", "--format", "xml", "--size", "9000x1", "--spectrum", "1,,2"))
    write(t, "loudness", b"\3" + nul("--set", "a=b", "--jobs", "2", "song.mp3"))


def file_list():
    t = "file_list_fuzz"
    write(t, "lines", b"\0a.wav\nmusic/b c.flac\r\n\n\nlast.ogg")
    write(t, "nul_in_line", b"\0a.wav\nbad\0victim.txt\nc.wav\n")
    write(t, "nul_separated", b"\1a.wav\0with\nnewline.wav\0\0crlf\r\n.wav\0")
    write(t, "empty", b"\0\r\n\r\n")


def worker_messages():
    t = "worker_messages_fuzz"
    write(t, "request", b"\0\xff\0" + b"music/a\0b\n.wav")
    write(t, "answer", b"\3\xff\7" + b"1:0,1:1,5:rows\n,0:,")
    write(t, "framed_stream", b"\0\xff\1" + b"5:a.wav,0:,7:b\nc.wav,")
    write(t, "too_long", b"\1\4\2" + b"5:hello,1:x,")
    write(t, "malformed", b"\2\x40\3" + b"3:abc;2:xx,x1:,")


def row_writers():
    t = "row_writers_fuzz"
    block = ["0.186", "440.00", "-6", "441.2", "A4;E5", "220.000", "A3", "+1.5", "0.93", "-23.10", "-inf"]
    write(t, "block_csv", nul(b"\0" + "take, \"one\".wav".encode(), b"", *[f.encode() for f in block]))
    write(t, "block_jsonl", nul(b"\1" + b"caf\xc3\xa9 \xff\xfe.wav", b"damage at 1.2 s\nsecond line",
                                *[f.encode() for f in block]))
    summary = ["2.500", "wav", "44100", "2", "-20.00", "-23.01", "A4 75.0%;E5 25.0%", "440.000", "A4", "+0.0",
               "1.2", "80.0", "440.0", "-23.0"]
    write(t, "summary_jsonl", nul(b"\3" + b"a\tb\x01\x7f.wav", b"", *[f.encode() for f in summary]))
    spectrum = struct.pack("<HH", 800, 8000)
    write(t, "spectrum_csv", nul(b"\x08" + spectrum + b"x.wav", b"cannot open", *[f.encode() for f in block],
                                 b"-12.50", b""))
    write(t, "odd_numbers_jsonl", nul(b"\1" + b"n.wav", b"", b"1.", b".5", b"+-5", b"007", b"-0", b"1e5", b"nan"))


def main():
    references()
    setting_names()
    batch_options()
    file_list()
    worker_messages()
    row_writers()
    return 0


if __name__ == "__main__":
    sys.exit(main())
