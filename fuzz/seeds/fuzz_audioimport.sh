#!/usr/bin/env bash
# Writes short files of every format the import reads into DIR as starting points for fuzz_audioimport,
# made by sox (the common converter) at several rates, widths and channel counts.
set -euo pipefail
dir=${1:?usage: fuzz_audioimport.sh DIR}
mkdir -p "$dir"
tone() { sox -n "$@" synth 0.05 sine 440 vol 0.5 2>/dev/null || true; }
tone -r 44100 -c 2 -b 16 "$dir/stereo44.wav"
tone -r 8000 -c 1 -b 8 "$dir/u8.wav"
tone -r 48000 -c 4 -b 24 "$dir/extensible.wav"
tone -r 22050 -c 1 -b 32 -e floating-point "$dir/float.wav"
tone -r 48000 -c 1 -b 16 "$dir/mono48.flac"
tone -r 44100 -c 2 "$dir/stereo.ogg"
tone -r 32000 -c 2 -b 16 "$dir/stereo.aiff"
tone -r 11025 -c 1 -b 16 "$dir/recording.au"
