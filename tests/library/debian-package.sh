#!/usr/bin/env bash
# Builds the Debian package with cpack and checks its control data and its
# contents, unpacked into a scratch root. Usage: debian-package.sh BUILD_DIR
set -euo pipefail
build="$1"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

(cd "$build" && cpack -G DEB -B "$scratch/out" >/dev/null)
package="$(ls "$scratch"/out/*.deb)"
info="$(dpkg-deb -I "$package")"
printf '%s\n' "$info" | sed -n '/Package:/,$p'

depends="$(dpkg-deb -f "$package" Depends)"
# What the programs and the library really load, as dpkg-shlibdeps found it.
for needed in libc6 libstdc++6 libqt6widgets6 libqt6gui6 libqt6core6 libqt6svg6 libcanberra0; do
    grep -q "$needed" <<<"$depends" || { echo "Depends lacks $needed: $depends" >&2; exit 1; }
done
[ "$(dpkg-deb -f "$package" Package)" = calverdon ]
[ "$(dpkg-deb -f "$package" Version)" = 1.0.0 ]

root="$scratch/root"
dpkg -x "$package" "$root"
for file in usr/bin/calverdon usr/bin/calverdon-cli usr/lib/libcalverdon.so.1 usr/lib/libcalverdon.so \
            usr/include/calverdon/Codecommon.h usr/lib/pkgconfig/calverdon.pc \
            usr/lib/cmake/Calverdon/CalverdonConfig.cmake usr/share/applications/calverdon.desktop; do
    [ -e "$root/$file" ] || { echo "missing in the package: $file" >&2; exit 1; }
done
# The packaged tool runs from the scratch root.
[ "$("$root/usr/bin/calverdon-cli" phonetik Müller)" = 657 ]
echo "package ok: $(basename "$package")"
