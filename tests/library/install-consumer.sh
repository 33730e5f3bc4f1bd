#!/usr/bin/env bash
# Installs the build into a scratch prefix, then builds and runs a consumer
# program against it twice: through find_package(Calverdon) and through
# pkg-config. Usage: install-consumer.sh BUILD_DIR SOURCE_DIR [EXTRA_CXXFLAGS]
set -euo pipefail
build="$1"
source="$2"
flags="${3:-}"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
library="$(find "$scratch/prefix" -name 'libcalverdon.so.1' | head -n 1)"
libdir="$(dirname "$library")"
[ -n "$library" ] || { echo "libcalverdon.so.1 was not installed" >&2; exit 1; }

check() {
    local output="$1"
    printf '%s\n' "$output"
    # Expected values worked out by hand: Code 128 "12345678" is 79 modules
    # of 2 px with 22 bars; "AB12" 79 modules; EAN-128 "0112" is Start C, FNC1, 01,
    # Code B, 1, 2 and the check: 90 modules;
    # Code 39 "AB-1" 6 characters of 3 wide (5 px) and 7 narrow (2 px);
    # interleaved 2 of 5 "1234" 18 narrow and 9 wide elements.
    grep -qx 'version 1.0.0 copyright-length [1-9][0-9]*' <<<"$output"
    grep -qx 'phonetik 657' <<<"$output"
    grep -qx 'distance 3' <<<"$output"
    grep -qx 'code128 158 158 fills 22' <<<"$output"
    grep -qx 'widths 158 180 174 81' <<<"$output"
}

echo "== find_package"
cmake -S "$source/tests/library/consumer" -B "$scratch/consumer" -G Ninja \
    -DCMAKE_PREFIX_PATH="$scratch/prefix" -DCMAKE_CXX_FLAGS="$flags" >/dev/null
cmake --build "$scratch/consumer" >/dev/null
check "$(LD_LIBRARY_PATH="$libdir" "$scratch/consumer/consumer" "$library")"

echo "== pkg-config"
export PKG_CONFIG_PATH="$libdir/pkgconfig"
# shellcheck disable=SC2046
g++ $flags $(pkg-config --cflags calverdon) "$source/tests/library/consumer/main.cpp" \
    $(pkg-config --libs calverdon) -o "$scratch/consumer-pc"
check "$(LD_LIBRARY_PATH="$libdir" "$scratch/consumer-pc" "$library")"
