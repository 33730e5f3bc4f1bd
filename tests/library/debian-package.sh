#!/usr/bin/env bash
# Builds the three Debian packages with cpack and runs lintian on them: any
# error or warning fails, info tags are shown. Then checks what lintian
# cannot know (dependencies, the ldconfig trigger, where files go), unpacks
# the packages into a scratch root and runs the packaged tool and a program
# built there against libcalverdon-dev.
# Usage: debian-package.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build="$1"
source="$2"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
fail() { echo "$*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$scratch/out" >/dev/null)
version=1.0.0-1
multiarch="$(dpkg-architecture -qDEB_HOST_MULTIARCH)"
lib=libcalverdon1 dev=libcalverdon-dev programs=calverdon
packages=()
for name in "$lib" "$dev" "$programs"; do
    package="$(ls "$scratch"/out/"${name}"_"$version"_*.deb)" || fail "no package $name"
    packages+=("$package")
done
[ "$(ls "$scratch"/out/*.deb | wc -l)" = 3 ] || fail "more than three packages: $(ls "$scratch"/out)"

echo "== lintian"
lintian --display-info --fail-on error,warning "${packages[@]}" || fail "lintian found errors or warnings"

echo "== control data"
field() { dpkg-deb -f "$scratch"/out/"$1"_"$version"_*.deb "$2"; }
lib_depends="$(field "$lib" Depends)"
printf '%s: %s\n' "$lib" "$lib_depends"
grep -q 'libc6' <<<"$lib_depends" || fail "$lib Depends lacks libc6"
! grep -qi 'qt' <<<"$lib_depends" || fail "$lib depends on Qt"
[ "$(field "$dev" Depends)" = "$lib (= $version)" ] || fail "$dev Depends: $(field "$dev" Depends)"
program_depends="$(field "$programs" Depends)"
printf '%s: %s\n' "$programs" "$program_depends"
for needed in "$lib (= $version)" libqt6widgets6 libqt6svg6 libcanberra0; do
    grep -qF "$needed" <<<"$program_depends" || fail "$programs Depends lacks $needed"
done
control="$scratch/control"
dpkg-deb -e "${packages[0]}" "$control"
[ "$(cat "$control/triggers")" = "activate-noawait ldconfig" ] || fail "$lib has no ldconfig trigger"
grep -qx "libcalverdon 1 $lib (>= $version)" "$control/shlibs" || fail "$lib shlibs: $(cat "$control/shlibs")"
[ ! -e "$control/postinst" ] && [ ! -e "$control/postrm" ] || fail "$lib has maintainer scripts"

echo "== contents"
root="$scratch/root"
for package in "${packages[@]}"; do dpkg-deb -x "$package" "$root"; done
expect_in() {
    local name="$1"; shift
    local list; list="$(dpkg-deb -c "$scratch"/out/"$name"_"$version"_*.deb | awk '{print $6}')"
    for file in "$@"; do grep -qx "./$file" <<<"$list" || fail "$name lacks $file"; done
}
expect_in "$lib" "usr/lib/$multiarch/libcalverdon.so.1" "usr/lib/$multiarch/libcalverdon.so.1.0.0"
expect_in "$dev" "usr/lib/$multiarch/libcalverdon.so" usr/include/calverdon/Codecommon.h \
    usr/include/calverdon/Strings.h "usr/lib/$multiarch/pkgconfig/calverdon.pc" \
    "usr/lib/$multiarch/cmake/Calverdon/CalverdonConfig.cmake"
expect_in "$programs" usr/bin/calverdon usr/bin/calverdon-cli usr/share/man/man1/calverdon-cli.1.gz \
    usr/share/man/de/man1/calverdon-cli.1.gz usr/share/applications/de.calverdon.Calverdon.desktop \
    usr/share/metainfo/de.calverdon.Calverdon.metainfo.xml usr/share/mime/packages/de.calverdon.Calverdon.xml \
    usr/share/calverdon/Calverdon.rtf
# The MIME database is shared-mime-info's to build, by the trigger it has on
# usr/share/mime/packages: the package ships no part of it and no script.
! dpkg-deb -c "${packages[2]}" | grep -q 'usr/share/mime/mime\.cache' || fail "$programs holds a MIME cache"
dpkg-deb -e "${packages[2]}" "$scratch/programs-control"
[ ! -e "$scratch/programs-control/postinst" ] || fail "$programs has a postinst"
# Development files only in the -dev package.
! dpkg-deb -c "${packages[0]}" | grep -q 'libcalverdon\.so$' || fail "$lib holds the .so link"

echo "== the packaged tool and a program built against the packaged library"
[ "$("$root/usr/bin/calverdon-cli" phonetik Müller)" = 657 ] || fail "packaged calverdon-cli phonetik"
library="$root/usr/lib/$multiarch/libcalverdon.so.1"
# The version block outlives stripping.
[ "$("$root/usr/bin/calverdon-cli" version "$library" | head -n 1)" = 1.0.0 ] || fail "no version in $library"
cmake -S "$source/tests/library/consumer" -B "$scratch/consumer" -G Ninja \
    -DCMAKE_PREFIX_PATH="$root/usr" >/dev/null
cmake --build "$scratch/consumer" >/dev/null
output="$(LD_LIBRARY_PATH="$root/usr/lib/$multiarch" "$scratch/consumer/consumer" "$library")"
printf '%s\n' "$output"
grep -qx 'version 1.0.0 copyright-length [1-9][0-9]*' <<<"$output" || fail "consumer: version"
grep -qx 'phonetik 657' <<<"$output" || fail "consumer: phonetik"
echo "packages ok: $(cd "$scratch/out" && echo *.deb)"
