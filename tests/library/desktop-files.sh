#!/usr/bin/env bash
# Validates the desktop file and the AppStream metainfo file; any warning
# fails. Usage: desktop-files.sh DESKTOP_FILE METAINFO_FILE
set -euo pipefail
desktop="$1"
metainfo="$2"
messages="$(desktop-file-validate "$desktop" 2>&1)" || { printf '%s\n' "$messages" >&2; exit 1; }
[ -z "$messages" ] || { printf '%s\n' "$messages" >&2; exit 1; }
# Exits non-zero on errors and warnings; pedantic hints are shown only.
appstreamcli validate --no-net --no-color "$metainfo"
echo "$(basename "$desktop") and $(basename "$metainfo") valid"
