#!/bin/sh
# Every folder and file that docs/ARCHITECTURE.md names exists: a path in
# backquotes (with a "/" in it) is a folder, a file, or a unit whose .h or
# .cpp is there.
set -eu
source_dir="$1"
page="$source_dir/docs/ARCHITECTURE.md"
status=0
for path in $(grep -o '`[^` ]*/[^` ]*`' "$page" | tr -d '`' | sort -u); do
    case "$path" in
        *://*|/*) continue ;;
    esac
    if [ -e "$source_dir/$path" ] || [ -e "$source_dir/$path.h" ] || [ -e "$source_dir/$path.cpp" ]; then
        continue
    fi
    echo "docs/ARCHITECTURE.md names $path, which does not exist" >&2
    status=1
done
exit $status
