#!/usr/bin/env bash
# The command line: -e, statements piped in, products that do not load, wrong options.
set -u
zelsh=$1
notplugin=$2  # a shared library that is no product plugin
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failed=0

# expect NAME STATUS OUTPUT ARGS... (standard input from $dir/in)
expect() {
  local name=$1 status=$2 want=$3 actual got
  shift 3
  actual=$("$zelsh" "$@" <"$dir/in" 2>&1)
  got=$?
  if [ "$actual" != "$want" ] || [ "$got" != "$status" ]; then
    printf 'FAIL: %s\n  expected (status %s):\n%s\n  got (status %s):\n%s\n' \
      "$name" "$status" "$want" "$got" "$actual"
    failed=1
  fi
}

: >"$dir/in"
printf "disp('a')\nerror('x:y', 'stop')\ndisp('after')\n" >"$dir/stop.zel"
expect "-e stops at the first error" 1 "a
Error (x:y): stop" -e --no-default-product "$dir/stop.zel"
expect "without -e the script goes on" 1 "a
Error (x:y): stop
after" --no-default-product "$dir/stop.zel"

cat >"$dir/event.zel" <<'ZEL'
devclass('scope', 'scope.xml', 'Scope', 'DSO1000');
s = device('scope');
s.ErrorFcn = 'error(''cb:x'', ''in the callback'')';
raiseerror(s, 'dev:y', 'reported');
disp('after')
ZEL
expect "-e stops after a failed callback" 1 "Error (cb:x): in the callback
Warning (vornix:callback:errInErrorFcn): The ErrorFcn callback is being disabled.
To enable the callback, set the ErrorFcn property." -e "$dir/event.zel"

printf "function f(a)\n  disp(a)\nend\nf(3)\nnosuch\nf(4)" >"$dir/in"
expect "piped statements, a function over lines, no prompt" 0 "3
Error (zelsh:undefined): Undefined function or variable 'nosuch'.
4" --no-default-product
: >"$dir/in"

expect "a missing product" 1 \
  "Error (zelsh:product): Cannot load product '$dir/none.so': $dir/none.so: cannot open shared object file: No such file or directory" \
  --no-default-product --product "$dir/none.so" "$dir/in"
expect "not a product" 1 "Error (zelsh:product): '$notplugin' is not a product plugin." \
  --no-default-product --product "$notplugin" "$dir/in"

usage="Usage: zelsh [-e] [--product LIB.so]... [SCRIPT.zel]
       zelsh --lint FILE.xml [SECTION]"
expect "an unknown option" 2 "$usage" -x
expect "two scripts" 2 "$usage" "$dir/in" "$dir/in"
expect "--product without a library" 2 "$usage" --product

exit $failed
