#!/usr/bin/env bash
# Formats each manual page with every groff warning turned on and fails on
# any message. Usage: manual-pages.sh PAGE...
set -euo pipefail
status=0
for page in "$@"; do
    messages="$(LC_ALL=C.UTF-8 groff -ww -z -man "$page" 2>&1)"
    if [ -n "$messages" ]; then
        printf '%s:\n%s\n' "$page" "$messages" >&2
        status=1
    fi
done
[ "$status" = 0 ] && echo "$# pages without warnings"
exit "$status"
