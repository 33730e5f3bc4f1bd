#!/usr/bin/env bash
# Fails when the shared library defines a dynamic symbol that is not in the
# expected list, or lacks one that is. Usage: check-exports.sh LIBRARY LIST
set -euo pipefail
library="$1"
expected="$2"
actual="$(nm -D --defined-only "$library" | awk '{print $3}' | sort)"
if ! diff <(sort "$expected") <(printf '%s\n' "$actual"); then
    echo "exported symbols differ from $expected (< expected, > actual)" >&2
    exit 1
fi
echo "$(printf '%s\n' "$actual" | wc -l) symbols, as expected"
