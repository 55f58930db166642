#!/usr/bin/env bash
# Renders the bundled example project with a soundtrack the demo makes itself: a chord from
# ffmpeg's tone generator, encoded to MP3 by lame. Usage: examples/demo.sh BUILD_DIR
set -euo pipefail
build=${1:?build dir}
here=$(cd "$(dirname "$0")" && pwd)
out="$build/demo"
mkdir -p "$out"

chord="0.20*sin(2*PI*220*t)+0.15*sin(2*PI*277.18*t)+0.12*sin(2*PI*329.63*t)"
ffmpeg -v error -y -f lavfi -i "aevalsrc=${chord}:s=44100:d=20,afade=t=in:d=1,afade=t=out:st=17:d=3" \
    -ac 2 -f wav "$out/chord.wav"
lame --quiet -b 128 "$out/chord.wav" "$out/soundtrack.mp3"

echo "Soundtrack: $("$build/app/cli/lumivane-render" --duration "$out/soundtrack.mp3")"
"$build/app/cli/lumivane-render" "$here/example.lmv" -o "$out/example.avi" \
    -s "$out/soundtrack.mp3" --match-audio --dynamic -c XVID -r 720x576
echo
echo "The example video is $out/example.avi:"
ffprobe -v error -show_entries stream=codec_type,codec_tag_string,width,height,r_frame_rate,sample_rate,channels \
    -show_entries format=duration -of compact "$out/example.avi"
