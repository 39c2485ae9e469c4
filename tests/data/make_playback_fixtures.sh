#!/bin/sh
# Regenerates the fixtures of the end-to-end playback and analysis tests and their reference decodes.
# Needs sox, lame, oggenc, mpg123 and oggdec. Run from anywhere; writes next to itself.
# The other fixtures these tests play come from make_compressed_fixtures.sh and make_reader_fixtures.sh.
set -eu
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Variable rate with a Xing header behind an ID3v2 tag.
sox -n -r 44100 -c 2 -b 16 "$tmp/s44.wav" synth 0.3 sine 220 sine 660-5000 gain -3 remix - fade 0.02 0.3 0.02 \
    channels 2
lame --quiet -V 4 --id3v2-only --tt "tagged" --ta "dewlark" "$tmp/s44.wav" mp3_44k_stereo_vbr_xing_id3v2.mp3
mpg123 -q -s mp3_44k_stereo_vbr_xing_id3v2.mp3 > mp3_44k_stereo_vbr_xing_id3v2.ref.raw

# The 48 kHz file of the reader fixtures.
mpg123 -q -s mp3_cbr128_48k_stereo.mp3 > mp3_cbr128_48k_stereo.ref.raw

# A long, low-rate file whose sound (2.6 MB of PCM) is larger than 2 MiB. Its reference is every
# 64th sample frame of the decode, which keeps it small and still checks the whole stretch played.
sox -n -r 44100 -c 2 -b 16 "$tmp/long.wav" synth 15 sine 300-900 sine 500 gain -6
lame --quiet -b 32 --cbr --resample 44.1 "$tmp/long.wav" mp3_44k_stereo_32k_long.mp3
mpg123 -q -s mp3_44k_stereo_32k_long.mp3 > "$tmp/long.raw"
head -c 16384 "$tmp/long.raw" > mp3_44k_stereo_32k_long.head.ref.raw
# Read as 128 channels, one "frame" is 64 stereo frames: keep the first of them.
sox -D -t raw -r 44100 -e signed -b 16 -c 128 "$tmp/long.raw" -t raw mp3_44k_stereo_32k_long.every64.ref.raw remix 1 2

# A steady 440 Hz tone and the MP3 and Ogg Vorbis files made from it, for the analysis. The faint
# noise makes the Ogg file long enough for several pages, so it is analysed in more than one block.
sox -D -n -r 22050 -c 1 -b 16 "$tmp/sine.wav" synth 2 sine 440 gain -6
sox -D -n -r 22050 -c 1 -b 16 "$tmp/noise.wav" synth 2 whitenoise gain -36
sox -D -m "$tmp/sine.wav" "$tmp/noise.wav" wav_22k_mono_sine440.wav
lame --quiet -b 64 -m m wav_22k_mono_sine440.wav mp3_22k_mono_sine440.mp3
oggenc -Q -q 3 -o ogg_22k_mono_sine440.ogg wav_22k_mono_sine440.wav
oggdec -Q -R -o ogg_22k_mono_sine440.ref.raw ogg_22k_mono_sine440.ogg

# A 10 s Ogg that outlasts the converter's fill test.
sox -D -n -r 22050 -c 1 -b 16 "$tmp/long.wav" synth 10 sine 440 synth 10 pinknoise mix vol 0.3
oggenc -Q -q 0 "$tmp/long.wav" -o ogg_22k_mono_q0_long.ogg
