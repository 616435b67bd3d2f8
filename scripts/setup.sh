#!/usr/bin/env bash
# Installs the Debian packages Kelvarn needs, then configures and builds it. The ready program
# folder (executables, empty catalogue files, sounds, texts) ends up in build/program.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  g++ cmake make pkg-config
  qt6-base-dev libcurl4-openssl-dev libcpp-httplib-dev libsdl2-dev libzip-dev
  libgtest-dev libgmock-dev libbenchmark-dev clang-format clang libclang-rt-14-dev llvm
  xvfb xauth fonts-dejavu-core fonts-liberation qt6-translations-l10n imagemagick sqlite3
  dpkg-dev file desktop-file-utils
)

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  sudo=(sudo)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  "${sudo[@]}" apt-get update -q
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
fi

# Further arguments go to the configure step (the test command turns warnings into errors).
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build build -j"$(nproc)"
