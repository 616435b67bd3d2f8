#!/usr/bin/env bash
# Sets Kelvarn up (packages, build) and runs every test; exits non-zero when any test fails.
# The suite runs twice: on the normal build, and on a build with the address and
# undefined-behaviour sanitizers, which turn memory faults into failures.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
ctest --test-dir build --output-on-failure -j"$(nproc)"

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DKELVARN_SANITIZE=ON > /dev/null
cmake --build build-sanitize -j"$(nproc)"
LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp" \
  ctest --test-dir build-sanitize --output-on-failure -j"$(nproc)"
