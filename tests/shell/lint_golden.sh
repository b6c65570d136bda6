#!/usr/bin/env bash
# Runs `zelsh --lint` once for each line of NAME.lint (a file and maybe a section) and compares
# what it prints, with each exit status, to NAME.out. ZEL_GOLDEN_UPDATE=1 rewrites NAME.out.
set -u
zelsh=$1
list=$2
expected=${list%.lint}.out
actual=$(mktemp)
trap 'rm -f "$actual"' EXIT
while read -r -a args; do
  [ ${#args[@]} -eq 0 ] && continue
  echo "--lint ${args[*]}"
  "$zelsh" --lint "${args[@]}"
  echo "exit $?"
done <"$list" >"$actual" 2>&1
if [ "${ZEL_GOLDEN_UPDATE:-}" = 1 ]; then
  cp "$actual" "$expected"
fi
diff -u "$expected" "$actual" || { echo "FAIL: lint output differs from $(basename "$expected")"; exit 1; }
