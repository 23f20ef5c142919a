#!/usr/bin/env bash
# Writes a few WAVE files into DIR as starting points for fuzz_wave: valid ones in the layouts other
# writers use, and damaged ones next to the edges the reader must handle.
set -euo pipefail
dir=${1:?usage: fuzz_wave.sh DIR}
mkdir -p "$dir"

# Little-endian fields as printf escapes.
le16() { printf '\\x%02x\\x%02x' $(($1 & 255)) $((($1 >> 8) & 255)); }
le32() { printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $((($1 >> 8) & 255)) $((($1 >> 16) & 255)) $((($1 >> 24) & 255)); }
# fmt payload: tag channels rate bits [size]
fmt() {
  local tag=$1 ch=$2 rate=$3 bits=$4 size=${5:-18} align=$(($2 * $4 / 8))
  local p
  p="$(le16 "$tag")$(le16 "$ch")$(le32 "$rate")$(le32 $((rate * align)))$(le16 $align)$(le16 "$bits")"
  if [ "$size" -ge 18 ]; then p+="$(le16 $((size - 18)))"; fi
  local extra=$((size - 18))
  while [ "$extra" -gt 0 ]; do p+='\x00'; extra=$((extra - 1)); done
  printf '%s' "$p"
}
samples() { local i s=""; for ((i = 0; i < $1; i++)); do s+="$(le16 $(((i * 997) & 65535)))"; done; printf '%s' "$s"; }
# seed NAME BODY-ESCAPES [RIFF-SIZE]: RIFF WAVE around the body
seed() {
  local body
  body=$(printf '%b' "$2" | wc -c)
  local size=${3:-$((body + 4))}
  printf "RIFF$(le32 "$size")WAVE$2" > "$dir/$1.wav"
}

data10="data$(le32 20)$(samples 10)"
seed valid16 "fmt $(le32 18)$(fmt 1 1 11025 16)$data10"
seed fmt16 "fmt $(le32 16)$(fmt 1 1 11025 16 16)$data10"
seed list "fmt $(le32 18)$(fmt 1 1 11025 16)LIST$(le32 5)INFOx\\x00$data10"
seed extensible "fmt $(le32 40)$(fmt 65534 2 44100 16 40)data$(le32 40)$(samples 20)"
seed odd8 "fmt $(le32 18)$(fmt 1 1 8000 8)data$(le32 3)\\x80\\x81\\x82\\x00"
seed float "fmt $(le32 18)$(fmt 3 1 11025 32)data$(le32 16)$(samples 8)"
seed data_before_fmt "${data10}fmt $(le32 18)$(fmt 1 1 11025 16)"
seed unfinished "fmt $(le32 18)$(fmt 1 1 11025 16)data$(le32 4294967295)$(samples 10)" 4294967295
seed long_data "fmt $(le32 18)$(fmt 1 1 11025 16)data$(le32 400)$(samples 10)"
seed channels0 "fmt $(le32 18)$(fmt 1 0 11025 16)$data10"
seed empty_riff "" 0
head -c 30 "$dir/valid16.wav" > "$dir/cut.wav"
