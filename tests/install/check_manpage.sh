#!/bin/sh
# The manual page must render with no groff warnings, and man must be able to show it.
set -eu
page=$1
command -v groff >/dev/null && command -v man >/dev/null || { echo "groff or man missing"; exit 77; }
warnings=$(groff -man -ww -z "$page" 2>&1)
[ -z "$warnings" ] || { echo "$warnings"; exit 1; }
warnings=$(MANWIDTH=80 MANPAGER=cat man --warnings -l "$page" 2>&1 >/dev/null)
[ -z "$warnings" ] || { echo "$warnings"; exit 1; }
MANWIDTH=80 MANPAGER=cat man -l "$page" | grep -q "EXIT STATUS"
echo "manual page renders cleanly"
