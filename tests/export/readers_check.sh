#!/bin/sh
# Opens the exported documents with real readers: LibreOffice Calc converts
# the XLS, the XML Spreadsheet, the XLSX and the RTF table to CSV and the cell
# texts must be the snapshot's; xlrd reads the XLS and openpyxl the XLSX
# (values, blanks, number formats, merges, fonts); LibreOffice Writer prints
# the RTF and Calc the XML Spreadsheet to PDF, and Writer the EMF and WMF
# pictures, whose pages must show every text, no "###" and no dark cells;
# xmllint must accept both XML dialects; headless Chromium must render the HTML.
# A Variance layout checks the marks of cells on too few facts and their
# footnote. Skips (exit 77) when a reader is missing.
# usage: readers_check.sh QUARRYDESK-CLI TEST-DATA-DIR
set -eu
cli=$1
data=$2
# The Debian readers' modules belong to the system's Python.
py=/usr/bin/python3
[ -x "$py" ] || py=python3
for tool in soffice chromium xmllint pdftotext pdftoppm "$py"; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIP: $tool is not installed"
    exit 77
  fi
done
if ! "$py" -c 'import xlrd, openpyxl' 2>/dev/null; then
  echo "SKIP: python3-xlrd or python3-openpyxl is not installed"
  exit 77
fi

work=$(mktemp -d /tmp/qd_readers.XXXXXX)
trap 'rm -rf "$work"' EXIT
cube="$data/cube_file/sales.vtc"
layout="--rows 城市 --cols Year --functions Sum,Count --expand all"

# shellcheck disable=SC2086
"$cli" pivot "$cube" $layout --format grid >"$work/snapshot.tsv"
for doc in pivot.xls pivot.xml pivot.rtf pivot.htm pivot.xlsx; do
  # shellcheck disable=SC2086
  "$cli" export "$cube" $layout --to "$work/$doc"
done
# shellcheck disable=SC2086
"$cli" export "$cube" $layout --xmla --to "$work/analysis.xml"

xmllint --noout "$work/pivot.xml" "$work/analysis.xml"

profile="file://$work/profile"
office() { soffice -env:UserInstallation="$profile" --headless "$@" >/dev/null 2>&1; }
csv='csv:Text - txt - csv (StarCalc):44,34,76'
for doc in xls xml xlsx; do
  office --convert-to "$csv" --outdir "$work/$doc" "$work/pivot.$doc"
done
office --infilter="Rich Text Format (StarCalc)" --convert-to "$csv" --outdir "$work/rtf" \
  "$work/pivot.rtf"
office --convert-to pdf --outdir "$work/rtfpdf" "$work/pivot.rtf"
office --convert-to pdf --outdir "$work/xmlpdf" "$work/pivot.xml"
# The two pictures as LibreOffice draws them, placed on a Writer page (the
# nogui packages import pictures there only; Writer/Web's own PDF export
# drops the page's content, so the page is opened as a Writer document).
for pic in emf wmf; do
  mkdir -p "$work/$pic"
  # shellcheck disable=SC2086
  "$cli" export "$cube" $layout --to "$work/$pic/pivot.$pic"
  printf '<html><body><img src="pivot.%s"></body></html>\n' "$pic" >"$work/$pic/pivot.html"
  office --infilter="HTML (StarWriter)" --convert-to pdf:writer_pdf_Export \
    --outdir "$work/${pic}pdf" "$work/$pic/pivot.html"
done
for pdf in rtfpdf xmlpdf emfpdf wmfpdf; do
  pdftotext -layout "$work/$pdf/pivot.pdf" "$work/$pdf/pivot.txt"
  pdftoppm -r 50 -gray "$work/$pdf/pivot.pdf" "$work/$pdf/page"
done

"$py" "$(dirname "$0")/readers_check.py" "$work"

# Variance on single facts: marked cells and the footnote in every reader.
low="--rows 城市 --cols Year --functions Sum,Variance --expand all"
mkdir -p "$work/low/pdf"
# shellcheck disable=SC2086
"$cli" pivot "$cube" $low --format cells --with-count >"$work/low/cells.tsv"
for doc in pivot.xlsx pivot.xml pivot.rtf pdf/pivot.pdf; do
  # shellcheck disable=SC2086
  "$cli" export "$cube" $low --to "$work/low/$doc"
done
for doc in xlsx xml; do
  office --convert-to "$csv" --outdir "$work/low/$doc" "$work/low/pivot.$doc"
done
office --convert-to pdf --outdir "$work/low/rtfpdf" "$work/low/pivot.rtf"
for pdf in rtfpdf pdf; do
  pdftotext -layout "$work/low/$pdf/pivot.pdf" "$work/low/$pdf/pivot.txt"
done
"$py" "$(dirname "$0")/readers_low_count.py" "$work"

chromium --headless --no-sandbox --disable-gpu --user-data-dir="$work/chromium" \
  --screenshot="$work/pivot.png" --window-size=640,360 "file://$work/pivot.htm" >/dev/null 2>&1
if [ ! -s "$work/pivot.png" ]; then
  echo "Chromium rendered no picture of the HTML export"
  exit 1
fi
echo "Chromium rendered the HTML export"
