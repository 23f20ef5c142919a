#!/usr/bin/env bash
# Writes seed inputs for fuzz_regions into DIR: the shipped guide sets and a few odd region files.
set -euo pipefail
dir=$1
mkdir -p "$dir"
root=$(cd "$(dirname "$0")/../.." && pwd)
for f in "$root"/regions/*.ini; do cp "$f" "$dir/shipped-$(basename "$f")"; done
printf '[Information]\nCaption=only a caption\n' >"$dir/information-only"
printf '[Region3]\nEnabled=1\n[Region50]\nEnabled=1\n[region0]\nENABLED=1\nColor=255\nAngle=-30\n' >"$dir/sparse"
printf '[Region7]\r\nF1Center=abc\r\nF2Center= 12x\r\nColor=0x10\r\nCaption=\x00hidden\r\n[Region7]\r\nEnabled=1' >"$dir/malformed"
