#!/usr/bin/env bash
# Renders the user guide as a user would (scripts/render-guide) with the
# screenshot program of this build, then checks the result with readers we did
# not write: every picture scripts/screenshot lists is a PNG, the HTML page
# holds every chapter, and poppler finds every chapter's title in the PDF.
#   check_guide.sh SOURCE-DIR SCREENSHOT-TOOL
set -euo pipefail
src=$1
export QD_SCREENSHOT_TOOL=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
fail() { echo "check_guide: $*" >&2; exit 1; }
"$src/scripts/render-guide" "$out" >/dev/null || fail "scripts/render-guide failed"
for name in $("$src/scripts/screenshot" --list); do
  file "$out/images/$name.png" | grep -q "PNG image data" || fail "picture $name was not made"
done
html="$out/quarrydesk-guide.html"
pdf="$out/quarrydesk-guide.pdf"
pages=$(pdfinfo "$pdf" | awk '/^Pages:/ { print $2 }')
[ "${pages:-0}" -gt 0 ] || fail "the PDF has no pages"
text=$(pdftotext -layout "$pdf" - | tr -s ' ')
for chapter in "$src"/docs/guide/*.md; do
  title=$(grep -m1 '^# ' "$chapter" | sed 's/^# //')
  grep -qF "<h1>$title</h1>" "$html" || fail "the HTML page lacks the chapter \"$title\""
  grep -qF "$(echo "$title" | tr -s ' ')" <<<"$text" || fail "the PDF lacks the chapter \"$title\""
done
# A line break between two Chinese characters shows as a stray space.
python3 - "$html" <<'PY' || fail "the HTML page breaks Chinese text with spaces"
import re, sys
text = re.sub(r"<pre>.*?</pre>", "", open(sys.argv[1], encoding="utf-8").read(), flags=re.S)
sys.exit(1 if re.search("[\u4e00-\u9fff\u3001\u3002\uff0c]\n[\u4e00-\u9fff]", text) else 0)
PY
echo "check_guide: $pages pages, every chapter and picture present"
