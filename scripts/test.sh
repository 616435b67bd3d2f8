#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sets Kelvarn up (packages, build) and runs every test; exits non-zero when any test fails.
# The suite runs twice: on the normal build, and on a build with the address and
# undefined-behaviour sanitizers, which turn memory faults into failures. Here warnings are
# errors, and a Release build (-O3 warns where the others do not) has to pass as well. Then the
# threaded tests run under ThreadSanitizer, and each fuzz target for a short while.
set -euo pipefail
cd "$(dirname "$0")/.."
# A test that hangs fails after this many seconds instead of holding up the whole run.
hang_limit=900
bash scripts/setup.sh test -DKELVARN_WERROR=ON
ctest --test-dir build --output-on-failure --timeout "$hang_limit" -j"$(nproc)"
# clang-tidy's chosen checks (.clang-tidy) over every source file of that build.
bash scripts/tidy.sh build

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DKELVARN_SANITIZE=ON -DKELVARN_WERROR=ON \
  > /dev/null
cmake --build build-sanitize -j"$(nproc)"
LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp" \
  ctest --test-dir build-sanitize --output-on-failure --timeout "$hang_limit" -j"$(nproc)"

cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DKELVARN_WERROR=ON > /dev/null
cmake --build build-release -j"$(nproc)"

# ThreadSanitizer over the tests that run threads: the core's (import and download runs, locks,
# the stand-in site) and the two windows with workers. A report fails the run; tests/tsan.supp
# holds only what lies inside Qt's own uninstrumented code. Without address randomisation, as
# TSan's fixed memory layout needs on kernels that randomise more bits than it expects.
cmake -S . -B build-tsan -DKELVARN_TSAN=ON -DKELVARN_WERROR=ON > /dev/null
cmake --build build-tsan -j"$(nproc)" --target kelvarn_tests test_import_window test_download_window
tsan_run() {
  timeout "$hang_limit" setarch "$(uname -m)" -R env SDL_AUDIODRIVER=dummy QT_QPA_PLATFORM=offscreen \
    TSAN_OPTIONS="suppressions=$PWD/tests/tsan.supp halt_on_error=1" "$@"
}
tsan_run build-tsan/tests/kelvarn_tests --gtest_brief=1
tsan_run build-tsan/tests/test_import_window -silent
tsan_run build-tsan/tests/test_download_window -silent

# Each fuzz target for 30 s, on a copy of its corpus so the committed one stays as it is, when
# clang's fuzzer runtime is there (a separate configure: clang, the core and the targets only);
# in CI (CI=true) a missing runtime fails the run instead.
mapfile -t fuzz_targets < fuzz/targets
if [ -f "$(clang++ -print-resource-dir 2>/dev/null)/lib/linux/libclang_rt.fuzzer-$(uname -m).a" ]; then
  cmake -S . -B build-fuzz -DKELVARN_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ -DKELVARN_WERROR=ON \
    > /dev/null
  cmake --build build-fuzz -j"$(nproc)"
  # In memory where there is room: the targets write their input to a file at every run.
  fuzz_work=$(mktemp -d -p "$(if [ -w /dev/shm ]; then echo /dev/shm; else echo /tmp; fi)")
  fuzz_one() {
    local target=$1 dict=()
    case $target in
      settings) dict=(-dict=fuzz/settings.dict) ;;
      site_list | import) dict=(-dict=fuzz/list_page.dict) ;;
      project) dict=(-dict=fuzz/project.dict) ;;
    esac
    mkdir -p "$fuzz_work/$target"
    cp -r "fuzz/corpus/$target" "$fuzz_work/$target/corpus"
    if ! TMPDIR="$fuzz_work/$target" "build-fuzz/fuzz/fuzz_$target" "${dict[@]}" \
      -max_total_time=30 -timeout=10 -artifact_prefix="$fuzz_work/$target/" \
      "$fuzz_work/$target/corpus" > "$fuzz_work/$target/log" 2>&1; then
      tail -n 60 "$fuzz_work/$target/log"
      echo "fuzz_$target failed; the input is in $fuzz_work/$target/" >&2
      return 1
    fi
    echo "fuzz_$target: $(grep '^Done' "$fuzz_work/$target/log")"
  }
  export -f fuzz_one
  export fuzz_work
  printf '%s\n' "${fuzz_targets[@]}" | xargs -P "$(nproc)" -I{} bash -c 'fuzz_one {}'
  rm -rf "$fuzz_work"
elif [ "${CI:-}" = true ]; then
  echo "clang's fuzzer runtime is missing (libclang-rt-dev): CI runs the fuzz targets" >&2
  exit 1
else
  echo "clang's fuzzer runtime is missing (libclang-rt-dev): the fuzz targets are not run" >&2
fi
