#!/usr/bin/env bash
# Decodes one LH5 stream with vskarc and with Debian's LHA tools, side by
# side, and prints the median times and each tool's time relative to ours.
#
# usage: bench/compare.sh [VSKARC] [WORKDIR]
#   VSKARC   vskarc to measure (default: build/host/bin/vskarc). make_corpus
#            and lzh_to_vsk are taken from the same directory, or built there.
#   WORKDIR  where the corpus and its archives live (default:
#            build/bench-compare); reused while the corpus is unchanged.
#
# The corpus is 16 MiB of mixed data (make_corpus). jlha ao5 compresses it;
# the -lh5- data of that member goes unchanged into an archive of ours, so
# every tool decodes the very same bit stream. Each tool's output is checked
# against the corpus first. hyperfine then runs ROUNDS rounds of RUNS runs of
# every tool (each after a warmup run), so the tools take turns; the median
# is over all runs of a tool. The path of VSKARC must not contain blanks.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
vskarc=$(realpath "${1:-$root/build/host/bin/vskarc}")
work=${2:-$root/build/bench-compare}
rounds=${ROUNDS:-3}  # environment: ROUNDS and RUNS set the repetitions
runs=${RUNS:-5}
bindir=$(dirname "$vskarc")

need() {
  command -v "$1" >/dev/null || { echo "compare.sh: $1 is not installed ($2)" >&2; exit 1; }
}
need jlha jlha-utils
need lhasa lhasa
need bsdtar libarchive-tools
need 7zz 7zip
need hyperfine hyperfine
need python3 python3
[[ -x $vskarc ]] || { echo "compare.sh: no vskarc at $vskarc" >&2; exit 1; }

for tool in make_corpus lzh_to_vsk; do
  if [[ ! -x $bindir/$tool ]]; then
    cmake --build "$(dirname "$bindir")" --target "$tool" >/dev/null
  fi
done

mkdir -p "$work"
cd "$work"
"$bindir/make_corpus" corpus.new 16
if cmp -s corpus.new corpus.bin && [[ -s corpus.lzh ]]; then
  rm corpus.new
else
  mv corpus.new corpus.bin
  rm -f corpus.lzh
  jlha ao5q corpus.lzh corpus.bin
fi
"$bindir/lzh_to_vsk" corpus.lzh corpus.bin corpus.vsk corpus.bin

ours="$vskarc extract corpus.vsk corpus.bin --no-progress -o /dev/null"
declare -A commands=(
  [vskarc]="$ours"
  [lhasa]="lhasa -pq corpus.lzh"
  [bsdtar]="bsdtar -xOf corpus.lzh"
  [7zz]="7zz e -so corpus.lzh"
)
order=(vskarc lhasa bsdtar 7zz)

# Every tool must give back the corpus before its time counts.
"$vskarc" extract corpus.vsk corpus.bin --no-progress -o check.out
cmp -s check.out corpus.bin || { echo "compare.sh: vskarc output differs" >&2; exit 1; }
for tool in lhasa bsdtar 7zz; do
  bash -c "${commands[$tool]}" 2>/dev/null | cmp -s - corpus.bin ||
    { echo "compare.sh: $tool output differs" >&2; exit 1; }
done
rm -f check.out

args=()
for tool in "${order[@]}"; do args+=(-n "$tool" "${commands[$tool]}"); done
# -N: no shell in between, so only the tools' own time counts.
for round in $(seq 1 "$rounds"); do
  hyperfine -N --style none --warmup 1 --runs "$runs" "${args[@]}" \
    --export-json "round$round.json" >/dev/null 2>>hyperfine.log
done

python3 - "$rounds" "$(stat -c %s corpus.bin)" "$(stat -c %s corpus.lzh)" <<'EOF'
import json, statistics, sys
rounds, size, packed = int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3])
times = {}
for r in range(1, rounds + 1):
    for result in json.load(open(f"round{r}.json"))["results"]:
        times.setdefault(result["command"], []).extend(result["times"])
medians = {tool: statistics.median(t) for tool, t in times.items()}
ours = medians["vskarc"]
print(f"corpus {size / 2**20:.0f} MiB, -lh5- stream {packed / 2**20:.2f} MiB "
      f"(jlha ao5); {len(times['vskarc'])} runs per tool in {rounds} rounds")
print(f"{'tool':8} {'median ms':>10} {'MB/s':>8} {'time / ours':>12}")
for tool, median in medians.items():
    print(f"{tool:8} {median * 1000:10.1f} {size / median / 1e6:8.1f} {median / ours:12.2f}")
fastest_tool, fastest = min(((t, m) for t, m in medians.items() if t != "vskarc"),
                            key=lambda item: item[1])
print(f"ours / fastest peer ({fastest_tool}): {ours / fastest:.2f} "
      f"(below 1.0: vskarc is faster)")
EOF
