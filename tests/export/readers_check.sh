#!/bin/sh
# Opens the exported documents with real readers: LibreOffice Calc converts
# the XLS, the XML Spreadsheet and the RTF table to CSV and the cell texts must
# be the snapshot's; xmllint must accept both XML dialects; headless Chromium
# must render the HTML. Skips (exit 77) when a reader is missing.
# usage: readers_check.sh QUARRYDESK-CLI TEST-DATA-DIR
set -eu
cli=$1
data=$2
for tool in soffice chromium xmllint python3; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIP: $tool is not installed"
    exit 77
  fi
done

work=$(mktemp -d /tmp/qd_readers.XXXXXX)
trap 'rm -rf "$work"' EXIT
cube="$data/cube_file/sales.vtc"
layout="--rows 城市 --cols Year --functions Sum,Count --expand all"

# shellcheck disable=SC2086
"$cli" pivot "$cube" $layout --format grid >"$work/snapshot.tsv"
for doc in pivot.xls pivot.xml pivot.rtf pivot.htm; do
  # shellcheck disable=SC2086
  "$cli" export "$cube" $layout --to "$work/$doc"
done
# shellcheck disable=SC2086
"$cli" export "$cube" $layout --xmla --to "$work/analysis.xml"

xmllint --noout "$work/pivot.xml" "$work/analysis.xml"

profile="file://$work/profile"
csv='csv:Text - txt - csv (StarCalc):44,34,76'
soffice -env:UserInstallation="$profile" --headless --convert-to "$csv" --outdir "$work/xls" \
  "$work/pivot.xls" >/dev/null 2>&1
soffice -env:UserInstallation="$profile" --headless --convert-to "$csv" --outdir "$work/xml" \
  "$work/pivot.xml" >/dev/null 2>&1
soffice -env:UserInstallation="$profile" --headless --infilter="Rich Text Format (StarCalc)" \
  --convert-to "$csv" --outdir "$work/rtf" "$work/pivot.rtf" >/dev/null 2>&1

python3 - "$work" <<'PY'
import csv, sys

work = sys.argv[1]
snapshot = [line.split("\t") for line in open(f"{work}/snapshot.tsv", encoding="utf-8").read().splitlines()]

def read_csv(path):
    with open(path, encoding="utf-8", newline="") as f:
        return [row for row in csv.reader(f)]

def number(text):
    try:
        return float(text)
    except ValueError:
        return None

def same(expected, got, missing=""):
    # Readers turn "0.10" into 0.1: numbers compare by value.
    if expected == "":
        return got == missing
    a, b = number(expected), number(got)
    return a == b if a is not None and b is not None else expected == got

def padded(rows, width):
    return [row + [""] * (width - len(row)) for row in rows]

failures = []
width = max(len(r) for r in snapshot)
expected = padded(snapshot, width)

# The XML Spreadsheet keeps every cell where the snapshot has it.
xml = padded(read_csv(f"{work}/xml/pivot.csv"), width)
if xml != expected:
    failures.append(f"XML Spreadsheet cells differ:\n{xml}\nexpected\n{expected}")

# The XLS holds numbers for data cells, 0 where the grid has no value.
xls = padded(read_csv(f"{work}/xls/pivot.csv"), width)
data_rows = {i for i, r in enumerate(snapshot) if any(number(c) is not None for c in r)}
for r, row in enumerate(expected):
    for c, text in enumerate(row):
        got = xls[r][c] if r < len(xls) else None
        if got is None or not (same(text, got) or (text == "" and got == "0" and r in data_rows)):
            failures.append(f"XLS cell ({c},{r}): {got!r}, expected {text!r}")

# Calc places the cells of merged RTF items by their own widths: compare each
# row's non-empty texts in order.
rtf = read_csv(f"{work}/rtf/pivot.csv")
for r, row in enumerate(snapshot):
    want = [t for t in row if t]
    got = [t for t in rtf[r] if t] if r < len(rtf) else []
    if len(want) != len(got) or not all(same(a, b) for a, b in zip(want, got)):
        failures.append(f"RTF row {r}: {got}, expected {want}")

if "北京" not in open(f"{work}/xls/pivot.csv", encoding="utf-8").read():
    failures.append("XLS lost the Chinese member caption")
if failures:
    print("\n".join(failures))
    sys.exit(1)
print(f"readers agree with the snapshot: {len(snapshot)} rows x {width} columns")
PY

chromium --headless --no-sandbox --disable-gpu --user-data-dir="$work/chromium" \
  --screenshot="$work/pivot.png" --window-size=640,360 "file://$work/pivot.htm" >/dev/null 2>&1
if [ ! -s "$work/pivot.png" ]; then
  echo "Chromium rendered no picture of the HTML export"
  exit 1
fi
echo "Chromium rendered the HTML export"
