#!/usr/bin/env bash
# Script files that are not plain text: a byte-order mark before the first
# line, a folder, a missing file, a NUL byte inside a string.
set -u
zelsh=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failed=0

# expect NAME STATUS OUTPUT SCRIPT
expect() {
  local actual status
  actual=$("$zelsh" --no-default-product "$4" 2>&1)
  status=$?
  if [ "$actual" != "$3" ] || [ "$status" != "$2" ]; then
    printf 'FAIL: %s\n  expected (status %s):\n%s\n  got (status %s):\n%s\n' \
      "$1" "$2" "$3" "$status" "$actual"
    failed=1
  fi
}

printf '\xEF\xBB\xBFdisp(%s)\n' "'first line'" >"$dir/bom.zel"
expect "byte-order mark" 0 "first line" "$dir/bom.zel"

expect "folder" 2 "Error (zelsh:cannotRead): Cannot read script '$dir': Is a directory." "$dir"
expect "missing file" 2 \
  "Error (zelsh:cannotRead): Cannot read script '$dir/none.zel': No such file or directory." \
  "$dir/none.zel"

printf "x = 'a\\0b'\\ndisp('next')\\n" >"$dir/nul.zel"
expect "NUL in a string" 1 \
  "Error (zelsh:syntax): A string cannot hold a NUL character at line 1, column 7.
next" "$dir/nul.zel"

exit $failed
