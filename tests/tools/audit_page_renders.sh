#!/usr/bin/env bash
# The audit's page as a browser shows it: quarnctl writes the audit of the
# built-in lock catalogue as a page, headless Chromium renders it into the
# test artefacts, and the rendering holds the marks of every state (green,
# amber, red, grey).
#
#   audit_page_renders.sh QUARNCTL ARTEFACT_FOLDER
set -euo pipefail
quarnctl=$1
artefacts=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$artefacts"

"$quarnctl" export lock "$work/lock.xml" >/dev/null
status=0
"$quarnctl" audit "$work/lock.xml" --html "$work/audit.html" >/dev/null || status=$?
[[ $status -eq 1 ]] || { echo "audit exited $status, not 1 (routes open)" >&2; exit 1; }

shot="$artefacts/audit-page.png"
rm -f "$shot"
# Chromium's headless screenshot ends when the page is drawn; --no-sandbox
# because tests may run as root.
chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --window-size=1000,2600 \
    --screenshot="$shot" "file://$work/audit.html" >"$work/chromium.log" 2>&1 \
    || { cat "$work/chromium.log" >&2; exit 1; }
[[ -s "$shot" ]] || { echo "no screenshot was written" >&2; exit 1; }

colours=$(convert "$shot" -format %c histogram:info:-)
for mark in 2E7D32 F9A825 C62828 9E9E9E; do
    grep -qi "#$mark" <<<"$colours" || { echo "the page shows no mark of colour #$mark" >&2; exit 1; }
done
echo "rendered $shot"
