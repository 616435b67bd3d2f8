#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages Kelvarn needs, then configures and builds it into build/.
# Usage: setup.sh run|test [CMAKE_ARGS...]
#   run   what starting the program needs: the windows, the CLI, the stand-in site and the ready
#         program folder (executables, empty catalogue files, sounds, texts) in build/program;
#   test  everything, with the tests, the benchmarks and the tools the test command runs.
set -euo pipefail
cd "$(dirname "$0")/.."

# Building and running the programs; the fonts and Qt's Russian are what the windows show;
# libnotify for the sync's desktop notice, scdoc for the manual pages.
program_packages=(
  g++ cmake make pkg-config
  qt6-base-dev libcurl4-openssl-dev libcpp-httplib-dev libsdl2-dev libzip-dev
  zlib1g-dev libdeflate-dev libnotify-dev scdoc
  fonts-dejavu-core fonts-liberation qt6-translations-l10n
)
# run.sh starts the window on a virtual X server where there is no display; a test answers a
# window manager's close request on one.
run_packages=(xvfb xauth)
# The tests and benchmarks; the format check; clang with its fuzzer runtime (the unversioned
# package follows Debian's default LLVM) and llvm's symbolizer for the sanitizers' reports; the
# package test's cpack, dpkg-shlibdeps and menu entry check; systemd-analyze for the sync's units;
# lintian and appstreamcli for the package, groff and man for the manual pages; a private session
# bus and Python's GLib for the stand-in notification service; unzip, which the benchmarks set
# beside inspect --all.
test_packages=(
  libgtest-dev libgmock-dev libbenchmark-dev unzip
  clang-format clang-tidy clang libclang-rt-dev llvm
  dpkg-dev file desktop-file-utils systemd
  lintian appstream groff-base man-db dbus-daemon python3-gi
)

mode=${1:-}
shift || true
case $mode in
  run)
    packages=("${program_packages[@]}" "${run_packages[@]}")
    configure=(-DKELVARN_TESTS=OFF)
    targets=(--target kelvarn kelvarn-cli kelvarn-demo-site program_folder)
    ;;
  test)
    packages=("${program_packages[@]}" "${run_packages[@]}" "${test_packages[@]}")
    configure=(-DKELVARN_TESTS=ON)
    targets=()
    ;;
  *)
    echo "usage: $0 run|test [CMAKE_ARGS...]" >&2
    exit 2
    ;;
esac

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
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo "${configure[@]}" "$@"
cmake --build build -j"$(nproc)" "${targets[@]}"
