#!/usr/bin/env bash
# Writes a few .f0/.fr texts into DIR as starting points for fuzz_sessionfiles: saved files, the line
# ends and field counts the readers accept, and lines they refuse.
set -euo pipefail
dir=${1:?usage: fuzz_sessionfiles.sh DIR}
mkdir -p "$dir"
printf '0\t200.450\t60.125\t0.987\r\n10\t0.000\t0.000\t0.000\r\n' > "$dir/saved.txt"
printf '0\t1.5\t2.5\t3.5\n\n25\t4\t5\t6' > "$dir/lf_blank_no_end.txt"
printf '0\t1\t2\t3\textra\r\n25\t-1e3\t+2.5e-2\tinf\r\n' > "$dir/five_fields.txt"
printf '0\tabc\t\t-\r\n0\t 0x1p3\tnan\t1e999\r\n' > "$dir/odd_numbers.txt"
printf '0\t1\t2\r\n' > "$dir/three_fields.txt"
: > "$dir/empty.txt"
printf '0\t1\t2\t3\r10\t4\t5\t6\r\n\n20\t7\t8\t9\r' > "$dir/cr_and_mixed_ends.txt"
printf '0\t129,706\t60\t0.9\r\n' > "$dir/decimal_comma.txt"
printf '0\t1\t2\t3\r\n20\t1\t2\t3\r\n40\t1\t2\t3\r\n' > "$dir/shift_20.txt"
printf '0\t1\t2\t3\r\n10\t1\t2\t3\r\n20\t1\t2\t3\r\n30\t1\t2\t3\r\n40\t1\t2\t3\r\n' > "$dir/shift_10.txt"
printf '|0\t1\t2\t3\r\n' > "$dir/fr_is_a_pipe.txt"
