#!/usr/bin/env bash
# The main job: builds everything, packs a demo installer and its data with
# vskarc create, stamps them onto Setup.exe with vskarc stamp, and starts the
# setup under Wine as a user would. Prints a short report of what happened.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

for preset in host win32; do
  echo "=== building $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" >/dev/null
done

vskarc=build/host/bin/vskarc
demo=build/demo
setup_dir="$demo/My Setup"
rm -rf "$demo"
mkdir -p "$demo/staging/Installer" "$demo/staging/Docs" "$demo/data/Pictures" "$setup_dir"

# What the setup ships: the demo installer as Installer\Varnskell.exe with
# its documents in the first archive, and data in the second.
cp build/win32/bin/demo_installer.exe "$demo/staging/Installer/Varnskell.exe"
printf 'Demo product %s\r\nInstalled by the VSK launcher.\r\n' "$(date +%Y)" \
  > "$demo/staging/Docs/Readme.txt"
seq 1 2000 | sed 's/^/licence line /' > "$demo/staging/Docs/Licence.txt"
head -c 300000 /dev/urandom > "$demo/data/Pictures/noise.bin"
seq 1 50000 > "$demo/data/numbers.txt"

echo
echo "=== vskarc create (LH5)"
"$vskarc" create "$demo/first.vsk" -C "$demo/staging" Installer Docs
"$vskarc" create "$demo/second.vsk" -C "$demo/data" Pictures numbers.txt
"$vskarc" list "$demo/first.vsk"

echo
echo "=== vskarc stamp"
"$vskarc" stamp build/win32/bin/Setup.exe "$demo/first.vsk" "$demo/second.vsk" \
  -o "$setup_dir/Setup.exe"
"$vskarc" payload "$setup_dir/Setup.exe"

echo
echo "=== starting \"$setup_dir/Setup.exe\" under Wine"
export WINEPREFIX="$PWD/build/win32/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineboot --init >/dev/null 2>&1 || true
start=$(date +%s%N)
set +e
wine "$setup_dir/Setup.exe"
status=$?
set -e
elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))
echo "Setup.exe ended with exit code $status after $elapsed_ms ms"

report="$setup_dir/Installed/install-report.txt"
echo
echo "=== the installer's report"
if [ ! -f "$report" ]; then
  echo "no report: the installer did not run" >&2
  exit 1
fi
tr -d '\r' < "$report"

echo
echo "=== checking the installed files against the originals"
for file in Installer/Varnskell.exe Docs/Readme.txt Docs/Licence.txt; do
  cmp "$demo/staging/$file" "$setup_dir/Installed/$file"
  echo "identical: $file"
done
[ "$status" -eq 0 ] && grep -q "Result: installed" "$report"
echo
echo "main job: OK"
