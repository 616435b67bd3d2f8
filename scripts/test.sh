#!/usr/bin/env bash
# Sets Kelvarn up (packages, build) and runs every test; exits non-zero when any test fails.
# The suite runs twice: on the normal build, and on a build with the address and
# undefined-behaviour sanitizers, which turn memory faults into failures. Here warnings are
# errors, and a Release build (-O3 warns where the others do not) has to pass as well.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh -DKELVARN_WERROR=ON
ctest --test-dir build --output-on-failure -j"$(nproc)"

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DKELVARN_SANITIZE=ON -DKELVARN_WERROR=ON \
  > /dev/null
cmake --build build-sanitize -j"$(nproc)"
LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp" \
  ctest --test-dir build-sanitize --output-on-failure -j"$(nproc)"

cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DKELVARN_WERROR=ON > /dev/null
cmake --build build-release -j"$(nproc)"
