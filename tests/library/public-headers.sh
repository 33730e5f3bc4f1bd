#!/usr/bin/env bash
# Compiles every public header on its own, as its users include it
# (<calverdon/NAME.h>), with g++ and clang++ in each C++ standard from 17 on.
# Usage: public-headers.sh INCLUDE_DIR (the folder that holds calverdon/)
set -euo pipefail
include="$1"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

headers=("$include"/calverdon/*.h)
[ -e "${headers[0]}" ] || { echo "no headers in $include/calverdon" >&2; exit 1; }
failed=0
for header in "${headers[@]}"; do
    name="$(basename "$header")"
    printf '#include <calverdon/%s>\n' "$name" >"$scratch/$name.cpp"
    for compiler in g++ clang++; do
        # clang 14 knows C++23 only by its draft name.
        for std in c++17 c++20 c++2b; do
            if ! "$compiler" "-std=$std" -Wall -Wextra -Wpedantic -Werror -fsyntax-only \
                    -I"$include" "$scratch/$name.cpp"; then
                echo "FAILED: $name with $compiler -std=$std" >&2
                failed=1
            fi
        done
    done
done
[ "$failed" = 0 ]
echo "${#headers[@]} headers compile alone as C++17, C++20 and C++23 with g++ and clang++"
