#!/usr/bin/env bash
# Writes seed inputs for fuzz_ini into DIR: settings files as the program writes them and as hands edit them.
set -euo pipefail
dir=$1
mkdir -p "$dir"
printf '[Formant]\nPreEmphasis=0.980000\nOrder=16\nPowerThreshold=35.000000\nBandWidth=500\nF1DisplayMinFrequency=200\nF1DisplayMaxFrequency=800\nF2DisplayMinFrequency=500\nF2DisplayMaxFrequency=4000\n\n[F0]\nFrameShift=10\nMinFrequency=60\nMaxFrequency=1000\nPowerThreshold=35.000000\nDisplayMinFrequency=60\nDisplayMaxFrequency=1000\n\n[View]\nSwapXY=0\nF1Reverse=0\nF2Reverse=0\n\n[Record]\nMaxRecordMinute=15\n\n[Regions]\nCurrentRegions=\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e \xe7\x94\xb7\xe6\x80\xa7\n' >"$dir/written"
printf '\x01[formant]\r\n order = 12 \r\nPreEmphasis=0.5abc\r\n[VIEW]\r\nswapxy=2' >"$dir/crlf-no-end"
printf '\x81[View]\nSwapXY=1\n[View]\nSwapXY=0\nF1Reverse=1\nF1Reverse=0\n; comment=1\n[Formant\nOrder=-5\n' >"$dir/duplicates"
printf '\x05\xef\xbb\xbf[F0]\nFrameShift=4294967295\nMinFrequency=99999999999\n\x00\xff[Record]\x00\nMaxRecordMinute=1\n' >"$dir/binary"
{ printf '\x92[Regions]\nCurrentRegions='; head -c 6000 /dev/zero | tr '\0' 'x'; printf '\n[Formant]\nOrder=8\n'; } >"$dir/long-line"
