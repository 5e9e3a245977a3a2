#!/usr/bin/env bash
# Installs what building and testing need on Debian 12, through apt, only
# when something is missing. Quiet when everything is already there.
set -euo pipefail

packages=(
  cmake make g++ pkg-config clang libclang-rt-14-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  g++-mingw-w64-i686 wine wine32:i386
  lhasa libarchive-tools 7zip jlha-utils hyperfine python3
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

run_as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

echo "install-deps: installing ${missing[*]}" >&2
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  run_as_root dpkg --add-architecture i386
fi
run_as_root apt-get update -qq
run_as_root env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y -qq "${missing[@]}" >/dev/null
