#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Fails when a C++ file of ours differs from what clang-format makes of it.
# The code is laid out by clang-format 14, Debian 12's. Another major version lays the same
# style out otherwise, so its diff would say nothing about our code: the check is then skipped
# (exit 77, which ctest shows as skipped), and fails in CI (CI=true), which must check.
set -euo pipefail
cd "$(dirname "$0")/.."
expected=14
found=$(clang-format --version | sed -n 's/.*clang-format version \([0-9]*\).*/\1/p')
if [ "$found" != "$expected" ]; then
  echo "the code is formatted by clang-format $expected; this is clang-format ${found:-of an unknown version}" >&2
  [ "${CI:-}" = true ] && exit 1
  echo "the format check is skipped" >&2
  exit 77
fi
git ls-files -- '*.cpp' '*.h' | xargs clang-format --dry-run -Werror
