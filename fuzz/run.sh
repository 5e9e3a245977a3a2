#!/usr/bin/env bash
# fuzz/run.sh TARGET SECONDS [libFuzzer options...]
# Runs one fuzz target for SECONDS over its seed corpus (made by the
# project's writer and encoders) and a working corpus that grows across runs
# (fuzz/corpus-run/TARGET, not tracked). Builds the fuzz preset when needed.
# Targets: archive_walk decode_lh5 decode_lzh1 decode_rle payload_locator payload_tools
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -lt 2 ]; then
  sed -n '2,7p' "$0" | sed 's/^# \{0,1\}//'
  exit 2
fi
target=$1
seconds=$2
shift 2

build=build/fuzz
if [ ! -x "$build/bin/fuzz_$target" ] || [ ! -x "$build/bin/make_seeds" ]; then
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz >/dev/null
fi
seeds="$build/seeds"
[ -d "$seeds/$target" ] || "$build/bin/make_seeds" "$seeds"
work="fuzz/corpus-run/$target"
mkdir -p "$work"

options=(-max_total_time="$seconds" -dict=fuzz/vsk.dict -timeout=10 -rss_limit_mb=2048
         -print_final_stats=1 -artifact_prefix="$work-")
# The locator reads 16384-byte chunks: let inputs cross a few borders.
[ "$target" = payload_locator ] && options+=(-max_len=50000)
[ "$target" = decode_lh5 ] || [ "$target" = decode_lzh1 ] && options+=(-max_len=80000)

"$build/bin/fuzz_$target" "${options[@]}" "$@" "$work" "$seeds/$target" fuzz/regressions/"$target"
