#!/usr/bin/env bash
# Writes seed inputs for fuzz_paths into DIR: a header byte, the delimiter, a quote byte, then the text.
set -euo pipefail
dir=$1
mkdir -p "$dir"
printf '\x00\t\x00a\t\tb\t' >"$dir/tabs"
printf '\x20,"\x22a,b\x22,c' >"$dir/quoted"
printf '\x00\\\x00C:\\data\\\x83\x5c\\take1.wav' >"$dir/cp932-folder"
printf '\x00\\\x00C:\\\x95\x5c\x83\x5c' >"$dir/cp932-end"
printf '\x01@@\x00a\x81\x40@@b' >"$dir/fullwidth-space"
