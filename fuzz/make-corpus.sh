#!/usr/bin/env bash
# Regenerates the seed inputs of fuzz/corpus/ (each a few KiB): the project's own writers
# (lumivane-fuzz-seeds of the fuzz build: AVIs, packs from Lang/packs/*.tsv, a project,
# pictures), ffmpeg and lame for the sounds and a few more pictures, and by hand the frames
# no encoder here writes.
#   fuzz/make-corpus.sh [BUILD_DIR]       (default build/fuzz; tools/fuzz.sh builds it)
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${1:-$ROOT/build/fuzz}
CORPUS=$ROOT/fuzz/corpus
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT

ff() { ffmpeg -hide_banner -loglevel error -y "$@"; }
tone() { # seconds rate channels: a 440 Hz tone as 16-bit WAV in $TMP/tone.wav
    ff -f lavfi -i "sine=frequency=440:sample_rate=$2:duration=$1" -ac "$3" "$TMP/tone.wav"
}

ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen \
    "$BUILD/fuzz/lumivane-fuzz-seeds" "$ROOT" "$CORPUS" 2>/dev/null

mp3=$CORPUS/mp3_frames_fuzz
mpeg=$CORPUS/mpeg_audio_fuzz
mkdir -p "$mp3" "$mpeg" "$CORPUS/wav_audio_fuzz" "$CORPUS/ac3_audio_fuzz"
# Layer III at each version's rates, one with ID3v2 and ID3v1 tags; Layer II from ffmpeg.
tone 0.15 32000 1 && lame --quiet -b 32 "$TMP/tone.wav" "$mp3/mpeg1-l3.mp3"
tone 0.3 16000 1 && lame --quiet -b 8 "$TMP/tone.wav" "$mp3/mpeg2-l3.mp3"
tone 0.3 8000 2 && lame --quiet -b 16 -m j "$TMP/tone.wav" "$mp3/mpeg25-l3-joint.mp3"
tone 0.1 32000 1 && lame --quiet -b 32 --add-id3v2 --tt Tone --ta Lumivane "$TMP/tone.wav" \
    "$mp3/tagged.mp3"
tone 0.1 32000 1 && ff -i "$TMP/tone.wav" -c:a mp2 -b:a 32k "$mp3/layer2.mp2"
# Layer I (no encoder here): three silent 48-byte frames, 32 kbit/s, 32 kHz, mono.
python3 -c 'import sys; sys.stdout.buffer.write((b"\xff\xff\x18\xc0" + bytes(44)) * 3)' \
    >"$mp3/layer1.mp1"
cp "$mp3"/* "$mpeg/"

wav=$CORPUS/wav_audio_fuzz
tone 0.05 8000 1 && cp "$TMP/tone.wav" "$wav/mono16.wav"
ff -f lavfi -i "sine=frequency=440:sample_rate=8000:duration=0.05" -ac 2 -c:a pcm_u8 \
    -bitexact "$wav/stereo8-bitexact.wav"
ff -f lavfi -i "sine=frequency=440:sample_rate=8000:duration=0.02" -ac 3 "$wav/extensible.wav"

ac3=$CORPUS/ac3_audio_fuzz
tone 0.1 48000 1 && ff -i "$TMP/tone.wav" -c:a ac3 -b:a 32k "$ac3/mono48k.ac3"
tone 0.05 44100 2 && ff -i "$TMP/tone.wav" -c:a ac3 -b:a 64k "$ac3/stereo44k.ac3"
tone 0.05 32000 2 && ff -i "$TMP/tone.wav" -c:a ac3 -b:a 96k "$ac3/stereo32k.ac3"

# Pictures in the forms ffmpeg writes and Qt does not: 16-bit and grey BMPs, 4:4:4 JPEG.
for fmt in rgb555le gray pal8; do
    ff -f lavfi -i testsrc=size=8x6 -frames:v 1 -pix_fmt $fmt "$CORPUS/bmp_picture_fuzz/ff-$fmt.bmp"
done
ff -f lavfi -i testsrc=size=16x8 -frames:v 1 -pix_fmt yuvj444p -q:v 20 \
    "$CORPUS/jpeg_picture_fuzz/ff-444.jpg"

du -sh "$CORPUS"
