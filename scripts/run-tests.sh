#!/usr/bin/env bash
# Builds every preset and runs its whole test suite: host (native,
# optimised), asan (AddressSanitizer + UBSan) and win32 (MinGW, under Wine).
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

echo "all presets: $passed passed, $failed failed"
exit $status
