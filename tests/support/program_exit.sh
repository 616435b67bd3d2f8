# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the program's shell tests. Waits up to $2 tenths of a second for process $1 to end,
# then fails with "$3" if it is still running or "$4" if it ended with an error.
expect_exit() {
  for _ in $(seq "$2"); do
    kill -0 "$1" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$1" 2>/dev/null; then
    echo "$3"
    exit 1
  fi
  wait "$1" || { echo "$4"; exit 1; }
}
