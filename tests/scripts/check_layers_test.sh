#!/usr/bin/env bash
# The layer check passes on the tree as it is, and fails with a clear line for each include that
# breaks a layer: a common/ file that includes a platform/ header, a store/ file that includes
# update/, a Qt header outside platform/, and in the window code a printing file that includes the
# main window and a control that includes a view.
set -euo pipefail
root="$1"
check="$root/scripts/check-layers"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

"$check" "$root" >/dev/null

mkdir -p "$work/cmake"
cp "$root/cmake/TallyhawkHelpers.cmake" "$work/cmake/"
cp -r "$root/src" "$work/src"
echo '#include "core/platform/record_file.h"' >> "$work/src/core/common/byte_text.cpp"
echo '#include "core/update/list_updater.h"' >> "$work/src/core/store/item_store.cpp"
echo '#include <QString>' >> "$work/src/core/store/word_rules.cpp"
echo '#include "gui/app/main_window.h"' >> "$work/src/gui/print/list_printer.cpp"
echo '#include "gui/views/list_rows.h"' >> "$work/src/gui/controls/record_text.cpp"

status=0
output="$("$check" "$work" 2>&1)" || status=$?
fail() { echo "$1"; echo "$output"; exit 1; }
[ "$status" -eq 1 ] || fail "expected exit status 1, got $status"
grep -q '^src/core/common/byte_text.cpp:[0-9]*: core/common may not include core/platform/record_file.h (core/common reaches nothing)$' <<<"$output" \
    || fail "the common/ include of platform/ was not reported"
grep -q '^src/core/store/item_store.cpp:[0-9]*: core/store may not include core/update/list_updater.h' <<<"$output" \
    || fail "the store/ include of update/ was not reported"
grep -q '^src/core/store/word_rules.cpp:[0-9]*: core/store may not include the Qt header <QString>' <<<"$output" \
    || fail "the Qt include outside platform/ was not reported"
grep -q '^src/gui/print/list_printer.cpp:[0-9]*: gui/print may not include gui/app/main_window.h' <<<"$output" \
    || fail "the print/ include of app/ was not reported"
grep -q '^src/gui/controls/record_text.cpp:[0-9]*: gui/controls may not include gui/views/list_rows.h' <<<"$output" \
    || fail "the controls/ include of views/ was not reported"
[ "$(grep -c 'may not include' <<<"$output")" -eq 5 ] || fail "expected exactly five reports"

# A link that runs upwards is refused too. The output is kept first: under pipefail, the check's
# own failing status would fail a pipe into grep even when the line is there.
sed -i 's/LINKS common$/LINKS common update/' "$work/src/core/protocol/CMakeLists.txt"
status=0
output="$("$check" "$work" 2>&1)" || status=$?
[ "$status" -eq 1 ] || fail "expected exit status 1 for an upward link, got $status"
grep -q '^src/core/protocol/CMakeLists.txt: core/protocol links core/update, which is not below it$' <<<"$output" \
    || fail "an upward link was not reported"
echo "check-layers: 7 passed, 0 failed"
