#!/usr/bin/env bash
# Sets Kelvarn up (packages, build) and runs every test; exits non-zero when any test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
ctest --test-dir build --output-on-failure -j"$(nproc)"
