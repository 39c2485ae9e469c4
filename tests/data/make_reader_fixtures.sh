#!/bin/sh
# Regenerates the sound-file fixtures of the reader tests with real encoders (sox, lame, oggenc).
# Hostile and hand-built files are made by the tests themselves.
set -eu
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

tone() {  # rate channels seconds -> $tmp/tone_<rate>_<channels>.wav (16-bit)
    sox -n -r "$1" -c "$2" -b 16 "$tmp/tone_$1_$2.wav" synth "$3" sine 440 sine 660 gain -6
}
tone 44100 2 0.5
tone 48000 2 0.3
tone 22050 1 0.5
tone 11025 1 0.2
tone 8000 1 0.2

# PCM WAVE files: 16-byte format chunks.
sox "$tmp/tone_44100_2.wav" -b 16 wav_pcm16_44k_stereo.wav trim 0 0.1
sox "$tmp/tone_11025_1.wav" -b 8 -e unsigned wav_pcm8_11k_mono.wav
# Compressed and wide WAVE files: longer format chunks that must be kept whole.
sox "$tmp/tone_8000_1.wav" -e ms-adpcm wav_msadpcm_8k_mono.wav
sox "$tmp/tone_11025_1.wav" -e floating-point -b 32 wav_float32_11k_mono.wav

# MPEG layer 3: constant rate (an "Info" first frame), variable rate with a Xing header,
# an ID3v2 tag in front, 48 kHz, and frames with a CRC.
lame --quiet -b 128 --cbr "$tmp/tone_44100_2.wav" mp3_cbr128_44k_stereo.mp3
lame --quiet -V 4 --vbr-new "$tmp/tone_44100_2.wav" mp3_vbr_44k_stereo_xing.mp3
lame --quiet -b 64 --cbr -m m --id3v2-only --tt "tagged" --ta "dewlark" "$tmp/tone_22050_1.wav" \
    mp3_cbr64_22k_mono_id3v2.mp3
lame --quiet -b 128 --cbr "$tmp/tone_48000_2.wav" mp3_cbr128_48k_stereo.mp3
lame --quiet -b 128 --cbr -p -t "$tmp/tone_44100_2.wav" mp3_cbr128_44k_stereo_crc.mp3

# Ogg Vorbis with a nominal rate of 128 kbit/s.
oggenc --quiet -b 128 -o ogg_vorbis128_44k_stereo.ogg "$tmp/tone_44100_2.wav"
