#!/usr/bin/env bash
# Runs one zelsh script and compares its output with the expected file beside
# it. The first line of NAME.zel may read "# exit: N" to expect that status
# (default 0 when the expected output has no "Error (" line, else 1). Further
# arguments go to zelsh before the script.
# A NAME.lint instead lists one `zelsh --lint` run per line (a file and maybe a
# section); its output records each run's arguments and exit status.
set -u
zelsh=$1
script=$2
expected=${script%.*}.out
actual=$(mktemp)
trap 'rm -f "$actual"' EXIT
if [[ $script == *.lint ]]; then
  while read -r -a args; do
    [ ${#args[@]} -eq 0 ] && continue
    echo "--lint ${args[*]}"
    "$zelsh" --lint "${args[@]}"
    echo "exit $?"
  done <"$script" >"$actual" 2>&1
  status=0 want=0
else
  "$zelsh" "${@:3}" "$script" >"$actual" 2>&1
  status=$?
  want=$(sed -n '1s/^# exit: \([0-9]*\).*/\1/p' "$script")
  if [ -z "$want" ]; then
    if grep -q '^Error (' "$expected" 2>/dev/null; then want=1; else want=0; fi
  fi
fi
if [ "${ZEL_GOLDEN_UPDATE:-}" = 1 ]; then
  cp "$actual" "$expected"
fi
if ! diff -u "$expected" "$actual"; then
  echo "FAIL: output of $(basename "$script") differs from $(basename "$expected")"
  exit 1
fi
if [ "$status" != "$want" ]; then
  echo "FAIL: exit status $status, expected $want"
  exit 1
fi
