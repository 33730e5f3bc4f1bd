#!/usr/bin/env bash
# The README's install after tools/run: tools/run builds the target
# calverdon_installable, then `cmake --install BUILD --prefix PREFIX`. Checks
# that this target builds every file the install copies out of the build
# tree, so that the sequence works on a fresh clone, then installs into a
# scratch prefix and runs the installed programs there.
# Usage: install-sequence.sh BUILD_DIR
set -euo pipefail
build="$(cd "$1" && pwd)"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
fail() { echo "$*" >&2; exit 1; }
[ -f "$build/build.ninja" ] || fail "$build was not configured with Ninja"

echo "== what the install copies from the build tree is built by calverdon_installable"
built="$( {
    ninja -C "$build" -t query calverdon_installable | sed -n 's/^    //p'
    ninja -C "$build" -t inputs calverdon_installable
} | sort -u)"
# The install scripts name what they copy by its full path.
mapfile -t installed < <(grep -ho "\"$build/[^\"]*\"" $(find "$build" -name cmake_install.cmake) | tr -d '"' | sort -u)
[ "${#installed[@]}" -gt 0 ] || fail "no installed files found in $build"
for file in "${installed[@]}"; do
    relative="${file#"$build"/}"
    # Files written when the build is configured need no target.
    ninja -C "$build" -t query "$relative" >/dev/null 2>&1 || continue
    # A library's name links go with the library they name.
    [ -L "$file" ] && relative="$(realpath --relative-to="$build" "$file")"
    grep -qxF "$relative" <<<"$built" || fail "calverdon_installable does not build $relative, which is installed"
done

echo "== cmake --install into a scratch prefix"
prefix="$scratch/prefix"
cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" 2>&1 || { cat "$scratch/install.log" >&2; fail "cmake --install failed"; }
version="$("$prefix/bin/calverdon-cli" --version)"
printf '%s\n' "$version"
[ "$(head -n 1 <<<"$version")" = "1.0.0" ] || fail "installed calverdon-cli --version: $version"
[ "$(env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/bin/calverdon" --version)" = "$version" ] ||
    fail "installed calverdon --version differs"
# Where the installed program looks for its help text.
[ -f "$prefix/bin/../share/calverdon/Calverdon.rtf" ] || fail "no help text beside the installed program"
# The install has brought the prefix's MIME database up to date.
example="$(dirname "$0")/../../examples/wetterbericht.txt"
type="$(XDG_DATA_HOME="$prefix/share" XDG_CURRENT_DESKTOP=GNOME xdg-mime query filetype "$example")"
[ "$type" = application/x-kelvarin-hex-text ] || fail "after the install, $example is $type"
echo "install sequence ok"
