#!/bin/sh
# Regenerates the converter fixtures and their reference decodes.
# Needs sox, lame, oggenc, mpg123 and oggdec. Run from anywhere; writes next to itself.
set -eu
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Two notes and a sweep: enough spectral content to exercise every decoder path.
tone() { # rate channels seconds out
    sox -n -r "$1" -c "$2" -b 16 "$4" synth "$3" sine 220 sine 660-5000 gain -3 remix - fade 0.02 "$3" 0.02 \
        channels "$2" 2>/dev/null
}
tone 44100 2 0.25 "$tmp/s44.wav"
tone 48000 2 0.3 "$tmp/s48.wav"
tone 22050 1 0.4 "$tmp/m22.wav"
tone 8000 1 0.4 "$tmp/m8.wav"

# MPEG layer III
lame --quiet -b 128 "$tmp/s44.wav" mp3_44k_stereo_128k_cbr.mp3
lame --quiet -V 4 "$tmp/s44.wav" mp3_44k_stereo_vbr_xing.mp3
lame --quiet -b 64 "$tmp/m22.wav" mp3_22k_mono_64k_mpeg2.mp3
lame --quiet -b 16 "$tmp/m8.wav" mp3_8k_mono_16k_mpeg25.mp3
lame --quiet -b 128 "$tmp/s48.wav" "$tmp/s48.mp3"
cat mp3_44k_stereo_128k_cbr.mp3 "$tmp/s48.mp3" > mp3_44k_then_48k_rate_switch.mp3
for f in mp3_44k_stereo_128k_cbr mp3_44k_stereo_vbr_xing mp3_22k_mono_64k_mpeg2 mp3_8k_mono_16k_mpeg25; do
    mpg123 -q -s "$f.mp3" > "$f.ref.raw"
done

# Ogg Vorbis
oggenc -Q -q 3 -o ogg_44k_stereo_q3.ogg "$tmp/s44.wav"
oggenc -Q -q 0 -o ogg_22k_mono_q0.ogg "$tmp/m22.wav"
oggenc -Q -q 3 -o "$tmp/s44b.ogg" "$tmp/s48.wav" --resample 44100
cat ogg_44k_stereo_q3.ogg "$tmp/s44b.ogg" > ogg_44k_stereo_chained_same_format.ogg
cat ogg_44k_stereo_q3.ogg ogg_22k_mono_q0.ogg > ogg_44k_stereo_then_22k_mono_chained.ogg
for f in ogg_44k_stereo_q3 ogg_22k_mono_q0; do
    oggdec -Q -R -o "$f.ref.raw" "$f.ogg"
done
# oggdec writes each link of a chain over the previous one: join them ourselves.
oggdec -Q -R -o "$tmp/s44b.raw" "$tmp/s44b.ogg"
cat ogg_44k_stereo_q3.ref.raw "$tmp/s44b.raw" > ogg_44k_stereo_chained_same_format.ref.raw

# WAV codings that reach the converter
sox "$tmp/s44.wav" -b 24 wav_44k_stereo_pcm24.wav
sox "$tmp/m22.wav" -b 32 wav_22k_mono_pcm32.wav
sox "$tmp/s44.wav" -e floating-point -b 32 wav_44k_stereo_float32.wav gain 6
sox "$tmp/m22.wav" -e floating-point -b 64 wav_22k_mono_float64.wav
sox "$tmp/m8.wav" -e a-law wav_8k_mono_alaw.wav
sox "$tmp/s44.wav" -e u-law wav_44k_stereo_mulaw.wav
sox "$tmp/s44.wav" -e ima-adpcm wav_44k_stereo_ima_adpcm.wav
sox "$tmp/m22.wav" -e ima-adpcm wav_22k_mono_ima_adpcm.wav
sox "$tmp/s44.wav" -e ms-adpcm wav_44k_stereo_ms_adpcm.wav
sox "$tmp/m8.wav" -e ms-adpcm wav_8k_mono_ms_adpcm.wav
for f in wav_44k_stereo_pcm24 wav_22k_mono_pcm32 wav_44k_stereo_float32 wav_22k_mono_float64 \
         wav_8k_mono_alaw wav_44k_stereo_mulaw wav_44k_stereo_ima_adpcm wav_22k_mono_ima_adpcm \
         wav_44k_stereo_ms_adpcm wav_8k_mono_ms_adpcm; do
    sox -D "$f.wav" -t raw -e signed -b 16 "$f.ref.raw"
done
