#!/usr/bin/env bash
# The layer check passes on the tree and fails, naming file and line, on a
# copy in which an installer folder includes a display, private or host header.
set -uo pipefail
source_dir=$1
check=$source_dir/scripts/check-layers
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
checks=0

# Counts one check; `fail` marks it failed.
check_done() {
	checks=$((checks + 1))
}

fail() {
	echo "FAIL: $*"
	failures=$((failures + 1))
}

# A fresh copy of the folders the check reads.
fresh_copy() {
	rm -rf "$work/tree"
	mkdir -p "$work/tree"
	cp -r "$source_dir"/{app,package,install,ui,host,platform} "$work/tree/"
}

# Plants `include` after the first line of `file` in a fresh copy and
# expects the check to fail with that file and line named.
expect_caught() {
	local file=$1 include=$2
	fresh_copy
	sed -i "1a $include" "$work/tree/$file"
	local output
	check_done
	if output=$("$check" "$work/tree" 2>&1); then
		fail "$include in $file passed the check"
	elif ! grep -qF "$file:2: includes" <<<"$output"; then
		fail "$include in $file: the report does not name $file:2: $output"
	fi
}

check_done
"$check" "$source_dir" >/dev/null 2>&1 || fail "the tree itself does not pass"

expect_caught install/InstallLooper.cpp '#include <InterruptGuard.h>'
expect_caught package/NodeDecoder.cpp '#include <SharedProcessor.h>'
expect_caught app/InstallApp.h '#include <DisplayBackend.h>'
expect_caught ui/StatusView.cpp '#include "UnattendedDriver.h"'
expect_caught ui/StatusView.cpp '  #  include <MenuWindow.h>'

# A public kit header planted the same way is fine.
fresh_copy
sed -i '1a #include <Window.h>' "$work/tree/install/InstallLooper.cpp"
check_done
"$check" "$work/tree" >/dev/null 2>&1 || fail "a public kit header was refused"

# Something that is not a checkout is an error, not a pass.
check_done
if "$check" "$work/nothing-here" >/dev/null 2>&1 || "$check" "$work" >/dev/null 2>&1; then
	fail "a folder that is no checkout passed"
fi

passed=$((checks - failures))
echo "$passed passed, $failures failed"
[ "$failures" -eq 0 ]
