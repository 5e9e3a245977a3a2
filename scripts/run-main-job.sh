#!/usr/bin/env bash
# The main job: builds everything (native and 32-bit Windows), makes a small
# sample archive, and lists, tests and extracts it with vskarc, natively and
# with the Windows build under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

for preset in host win32; do
  echo "=== building $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" >/dev/null
done

demo=build/demo
rm -rf "$demo" && mkdir -p "$demo"
build/host/bin/make_sample_archive "$demo/sample.vsk"
vskarc=build/host/bin/vskarc
key=0x5EC12E7

echo
echo "=== vskarc list $demo/sample.vsk"
"$vskarc" list "$demo/sample.vsk"
echo
echo "=== vskarc test (without the key: the scrambled member must fail)"
if "$vskarc" test "$demo/sample.vsk"; then
  echo "unexpected: a keyed member passed without its key" >&2
  exit 1
fi
echo
echo "=== vskarc test --key $key"
"$vskarc" test "$demo/sample.vsk" --key "$key"
echo
echo "=== vskarc extract docs\\banner.txt --key $key (first 3 lines)"
"$vskarc" extract "$demo/sample.vsk" 'docs\banner.txt' --key "$key" -o "$demo/banner.txt"
head -3 "$demo/banner.txt"

echo
echo "=== the Windows build under Wine: vskarc.exe test --key $key"
export WINEPREFIX="$PWD/build/win32/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine build/win32/bin/vskarc.exe test "$demo/sample.vsk" --key "$key"
wine build/win32/bin/vskarc.exe extract "$demo/sample.vsk" 'Docs\Readme.txt' -o "$demo/readme.txt"
cmp "$demo/readme.txt" <("$vskarc" extract "$demo/sample.vsk" 'Docs\Readme.txt')
echo
echo "main job: OK (native and Windows builds agree)"
