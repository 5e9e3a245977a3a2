#!/usr/bin/env bash
# Builds every preset and runs its whole test suite: host (native,
# optimised), asan (AddressSanitizer + UBSan + LeakSanitizer) and win32
# (MinGW, under Wine); then runs every fuzz target briefly over its seeds and
# the kept regression inputs, so a decoder's guards cannot quietly regress.
set -uo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh || exit 1

passed=0
failed=0
status=0
for preset in host asan win32; do
  echo "=== $preset: configure and build"
  if ! { cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset"; }; then
    echo "=== $preset: build FAILED"
    status=1
    continue
  fi
  echo "=== $preset: test"
  log=$(mktemp)
  ctest --preset "$preset" 2>&1 | tee "$log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  # "100% tests passed, 0 tests failed out of 53"
  summary=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1)
  if [ -n "$summary" ]; then
    total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$summary")
    bad=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$summary")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
  else
    status=1
  fi
  rm -f "$log"
done

echo "=== fuzz: configure and build"
if cmake --preset fuzz >/dev/null && cmake --build --preset fuzz >/dev/null; then
  for target in archive_walk decode_lh5 decode_lzh1 decode_rle payload_locator payload_tools; do
    echo "=== fuzz: $target (${VSK_FUZZ_SECONDS:-20} s)"
    log=$(mktemp)
    if bash fuzz/run.sh "$target" "${VSK_FUZZ_SECONDS:-20}" >"$log" 2>&1; then
      passed=$((passed + 1))
      grep -E 'DONE|number_of_executed_units' "$log" | tail -2
    else
      failed=$((failed + 1))
      status=1
      tail -60 "$log"
    fi
    rm -f "$log"
  done
else
  echo "=== fuzz: build FAILED"
  status=1
fi

echo "all presets: $passed passed, $failed failed"
exit $status
