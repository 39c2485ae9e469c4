#!/usr/bin/env bash
# The package check of the set-up scripts, run against stand-ins for dpkg-query, id, sudo and apt-get:
# a user without root or sudo is told what to install and how; nothing is installed when all is there.
set -uo pipefail
deps="$1/scripts/deps.sh"
fail() { echo "FAIL: $*"; exit 1; }

bin="$(mktemp -d)"
trap 'rm -rf "$bin"' EXIT
log="$bin/apt.log"
stand_in() { printf '#!/bin/sh\n%s\n' "$2" >"$bin/$1"; chmod +x "$bin/$1"; }
stand_in id 'echo 1000'
stand_in sudo 'exit 1'                       # there, but not without a password
stand_in apt-get "echo \"\$*\" >>'$log'"
run() { PATH="$bin:/usr/bin:/bin" bash "$deps" "$@" </dev/null; }

# Missing packages, no root, no usable sudo: the list and the command, status 1, nothing installed.
stand_in dpkg-query 'case "$*" in *qt6-base-dev*|*lame*) echo "deinstall ok config-files";; *) echo "install ok installed";; esac'
err="$(run 2>&1 >/dev/null)"; status=$?
[ "$status" -eq 1 ] || fail "status $status without a way to install"
[[ "$err" == *"qt6-base-dev"* && "$err" == *"apt-get install qt6-base-dev"* ]] || fail "the message: $err"
[[ "$err" != *"lame"* ]] || fail "a test tool asked for by the run set-up: $err"
[ ! -e "$log" ] || fail "apt-get ran"
err="$(run test 2>&1 >/dev/null)"
[[ "$err" == *"apt-get install qt6-base-dev lame"* ]] || fail "the test set-up's list: $err"

# As root the packages are installed.
stand_in id 'echo 0'
run >/dev/null 2>&1 || fail "root install failed"
grep -q "install -y -qq qt6-base-dev" "$log" || fail "root did not install: $(cat "$log")"

# Everything there: nothing to do.
rm -f "$log"
stand_in dpkg-query 'echo "install ok installed"'
stand_in id 'echo 1000'
run test fuzz bench package || fail "status $? with everything installed"
[ ! -e "$log" ] || fail "apt-get ran with nothing missing"

run nonsense 2>/dev/null; [ $? -eq 2 ] || fail "an unknown group was taken"
echo "ok"
