#!/usr/bin/env python3
"""Writes the converter target's seeds (fuzz/corpus/converter_fuzz) from the sound fixtures.

A seed is what converter_fuzz.cpp reads: eight bytes choosing the format (tag index, channels, rate
index, block align, bits, extra length, block size), the record's extra bytes, then the stream.
"""
import os
import struct
import sys

here = os.path.dirname(os.path.abspath(__file__))
data = os.path.join(here, "..", "tests", "data")
flac = os.path.join(here, "corpus", "flac_fuzz")
opus = os.path.join(here, "corpus", "opus_fuzz")
out = os.path.join(here, "corpus", "converter_fuzz")

TAGS = [0x0001, 0x0002, 0x0003, 0x0006, 0x0007, 0x0011, 0x0050, 0x0055,
        0x674F, 0x6750, 0x6751, 0xFFFE, 0xF1AC, 0xF1AD, 0x704F]
RATES = [8000, 11025, 22050, 32000, 44100, 48000]
MOST = 6000  # bytes of stream a seed keeps


def seed(name, tag, channels, rate, align, bits, extra, stream, block=7):
    head = bytes([TAGS.index(tag), channels - 1, RATES.index(rate)]) + struct.pack("<H", align)
    head += bytes([bits, len(extra), block])
    with open(os.path.join(out, name), "wb") as f:
        f.write(head + extra + stream[:MOST])


def wave_chunks(path):
    b = open(path, "rb").read()
    chunks, at = {}, 12
    while at + 8 <= len(b):
        cid, size = b[at:at + 4], struct.unpack("<I", b[at + 4:at + 8])[0]
        chunks.setdefault(cid, b[at + 8:at + 8 + size])
        at += 8 + size + (size & 1)
    return chunks


def from_wave(name, fixture):
    c = wave_chunks(os.path.join(data, fixture))
    fmt = c[b"fmt "]
    tag, channels, rate, _, align, bits = struct.unpack("<HHIIHH", fmt[:16])
    extra = fmt[18:18 + struct.unpack("<H", fmt[16:18])[0]] if len(fmt) >= 18 else b""
    seed(name, tag, channels, rate, align, bits, extra, c[b"data"])


def corpus_file(folder, name):
    """A stream kind's own seed, without the byte in front that chooses its block sizes."""
    return open(os.path.join(folder, name), "rb").read()[1:]


def stream_info_format(info):
    """Channels, rate and bits of a STREAMINFO block."""
    rate = int.from_bytes(info[10:13], "big") >> 4
    channels = ((info[12] >> 1) & 7) + 1
    bits = (((info[12] & 1) << 4) | (info[13] >> 4)) + 1
    return channels, rate, bits


def flac_seed(name, b):
    at, info, last = 4, None, False
    while not last:
        last = b[at] & 0x80
        size = int.from_bytes(b[at + 1:at + 4], "big")
        if b[at] & 0x7F == 0:
            info = b[at + 4:at + 4 + size]
        at += 4 + size
    channels, rate, bits = stream_info_format(info)
    seed(name, 0xF1AC, channels, rate, channels * ((bits + 7) // 8), bits, info, b[at:])


def main():
    os.makedirs(out, exist_ok=True)
    from_wave("pcm16_stereo", "wav_pcm16_44k_stereo.wav")
    from_wave("pcm8_mono", "wav_pcm8_11k_mono.wav")
    from_wave("float32_mono", "wav_float32_11k_mono.wav")
    from_wave("alaw_mono", "wav_8k_mono_alaw.wav")
    from_wave("mulaw_stereo", "wav_44k_stereo_mulaw.wav")
    from_wave("ima_adpcm_stereo", "wav_44k_stereo_ima_adpcm.wav")
    from_wave("ms_adpcm_mono", "wav_8k_mono_ms_adpcm.wav")
    from_wave("pcm24_extensible_stereo", "wav_44k_stereo_pcm24.wav")
    for name, fixture, channels, rate in [("mp3_stereo", "mp3_44k_stereo_128k_cbr.mp3", 2, 44100),
                                          ("mp3_mono_mpeg2", "mp3_22k_mono_64k_mpeg2.mp3", 1, 22050),
                                          ("mp3_mono_mpeg25", "mp3_8k_mono_16k_mpeg25.mp3", 1, 8000)]:
        seed(name, 0x0055, channels, rate, 1, 0, b"", open(os.path.join(data, fixture), "rb").read())
    seed("vorbis_mono", 0x674F, 1, 22050, 1, 0, b"", open(os.path.join(data, "ogg_22k_mono_q0.ogg"), "rb").read())
    flac_seed("flac_mono", corpus_file(flac, "m.flac"))
    flac_seed("flac_stereo_8bit", corpus_file(flac, "s8.flac"))
    oga = corpus_file(flac, "m24.oga")
    info = oga[28 + 17:28 + 17 + 34]
    channels, rate, bits = stream_info_format(info)
    seed("ogg_flac_mono_24bit", 0xF1AD, channels, rate, channels * 3, bits, info, oga)
    for name in ("m.opus", "s.opus"):
        b = corpus_file(opus, name)
        head = b[28:28 + b[27]]
        seed("opus_" + name.split(".")[0], 0x704F, head[9], 48000, 2 * head[9], 16, head, b)
    return 0


if __name__ == "__main__":
    sys.exit(main())
