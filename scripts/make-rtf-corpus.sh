#!/usr/bin/env bash
# Regenerates tests/data/rtf: documents that Debian installs, written as RTF by LibreOffice,
# and LibreOffice's own plain-text reading of each RTF file (*.expected.txt), which the
# reader's tests compare against. Needs LibreOffice Writer, installed here when missing.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh libreoffice-writer-nogui

out=tests/data/rtf
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/src" "$work/rtf" "$work/txt"
cp /usr/share/common-licenses/GPL-3 "$work/src/gpl3.txt"
cp /usr/share/common-licenses/Apache-2.0 "$work/src/apache.txt"
cp /usr/share/doc/base-passwd/users-and-groups.html "$work/src/users-and-groups.html"
cp /usr/share/doc/python3/python-policy.html "$work/src/python-policy.html"
cp /usr/share/doc/libffi8/html/The-Basics.html "$work/src/libffi-basics.html"
cp /usr/share/doc/zlib1g-dev/examples/zlib_how.html "$work/src/zlib-how.html"
cp tests/data/languages.txt "$work/src/languages.txt"

(cd "$work/src" && soffice --headless --convert-to rtf --outdir ../rtf ./*.txt >/dev/null)
(cd "$work/src" && soffice --headless --writer --convert-to 'rtf:Rich Text Format' --outdir ../rtf ./*.html >/dev/null)
(cd "$work/rtf" && soffice --headless --infilter="Rich Text Format" \
   --convert-to 'txt:Text (encoded):UTF8' --outdir ../txt ./*.rtf >/dev/null)
cp "$work"/rtf/*.rtf "$out/"
for f in "$work"/txt/*.txt; do cp "$f" "$out/$(basename "$f" .txt).expected.txt"; done
