#!/usr/bin/env bash
# The MIME type of hex-text files as the desktop's own tool reports it:
# xdg-mime on GNOME (which asks gio) under a scratch XDG_DATA_HOME that
# holds only our database, as `cmake --install --prefix ~/.local` makes it.
# The example chain's first part is a hex-text file by its content, also
# under another name; a letter ending in .txt stays plain text, and so does
# a further part, which carries no header. The desktop file claims the
# type, so the program is the one that opens such a file.
# Usage: mime-type.sh MIME_XML DESKTOP_FILE EXAMPLES_DIR
set -euo pipefail
xml="$1"
desktop="$2"
examples="$3"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
fail() { echo "$*" >&2; exit 1; }

mkdir -p "$scratch/data/mime/packages" "$scratch/data/applications" "$scratch/files"
cp "$xml" "$scratch/data/mime/packages/de.calverdon.Calverdon.xml"
update-mime-database "$scratch/data/mime" 2>/dev/null
cp "$desktop" "$scratch/data/applications/"
update-desktop-database "$scratch/data/applications"

cp "$examples/wetterbericht.txt" "$scratch/files/bericht.txt"
cp "$examples/wetterbericht_2.txt" "$scratch/files/bericht_2.txt"
printf 'Hallo,\r\nanbei der Wetterbericht.\r\n' >"$scratch/files/brief.txt"

export XDG_DATA_HOME="$scratch/data" XDG_CURRENT_DESKTOP=GNOME
expect() {
    local file="$1" wanted="$2" type
    type="$(xdg-mime query filetype "$scratch/files/$file")"
    [ "$type" = "$wanted" ] || fail "$file: $type, not $wanted"
    echo "$file: $type"
}
expect bericht.txt application/x-kelvarin-hex-text
expect bericht_2.txt text/plain
expect brief.txt text/plain
opener="$(xdg-mime query default application/x-kelvarin-hex-text)"
[ "$opener" = "$(basename "$desktop")" ] || fail "hex-text files open with ${opener:-nothing}"
echo "opened by $opener"
