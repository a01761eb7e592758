"""Checks the documents readers_check.sh had real readers open.

Every document opens with the cube's caption (the cube file's name) and an
empty row, then holds the snapshot's cells where the snapshot has them.
usage: readers_check.py WORK-DIR
"""
import csv
import glob
import sys

import openpyxl
import xlrd

work = sys.argv[1]
CAPTION = "sales"
HEADING = 2  # the caption and an empty row; this layout leaves no page dimension

snapshot = [line.split("\t") for line in
            open(f"{work}/snapshot.tsv", encoding="utf-8").read().splitlines()]
width = max(len(r) for r in snapshot)
expected = [row + [""] * (width - len(row)) for row in snapshot]
texts = [t for row in snapshot for t in row if t]
failures = []


def read_csv(path):
    with open(path, encoding="utf-8", newline="") as f:
        return list(csv.reader(f))


def number(text):
    try:
        return float(text)
    except (TypeError, ValueError):
        return None


def same(want, got):
    # Readers turn "0.10" into 0.1: numbers compare by value.
    if want == "":
        return got in ("", None)
    a, b = number(want), number(got)
    return a == b if a is not None and b is not None else want == got


def shown(value, fmt):
    """The value as a number format of our masks shows it."""
    decimals = len(fmt.split(".")[1]) if "." in fmt else 0
    return f"{value:.{decimals}f}"


def dark_share(path):
    """Share of dark pixels within the inked part of a grey page (PGM)."""
    data = open(path, "rb").read()
    head = data.split(b"\n", 3)  # P5, size, maximum, then the pixels
    w, h = map(int, head[1].split())
    rows = [head[3][y * w:(y + 1) * w] for y in range(h)]
    ink = [(x, y) for y in range(h) for x in range(w) if rows[y][x] < 250]
    if not ink:
        return 0.0
    xs, ys = [x for x, _ in ink], [y for _, y in ink]
    box = [rows[y][x] for y in range(min(ys), max(ys) + 1) for x in range(min(xs), max(xs) + 1)]
    return sum(1 for p in box if p < 80) / len(box)


def table(name, rows):
    """The rows after the heading; the heading must be the caption and a gap."""
    if not rows or rows[0][:1] != [CAPTION] or any(rows[1] if len(rows) > 1 else []):
        failures.append(f"{name}: the document does not open with the caption {CAPTION!r}")
    return rows[HEADING:]


def check_grid(name, rows):
    rows = table(name, rows)
    for r, row in enumerate(expected):
        for c, want in enumerate(row):
            got = rows[r][c] if r < len(rows) and c < len(rows[r]) else ""
            if not same(want, got):
                failures.append(f"{name} cell ({c},{r}): {got!r}, expected {want!r}")


# Calc keeps every cell of the spreadsheet formats where the snapshot has it.
for doc in ("xml", "xls", "xlsx"):
    check_grid(f"{doc.upper()} in Calc", read_csv(f"{work}/{doc}/pivot.csv"))

# Calc places the cells of merged RTF items by their own widths: compare each
# row's non-empty texts in order.
rtf = table("RTF in Calc", read_csv(f"{work}/rtf/pivot.csv"))
for r, row in enumerate(snapshot):
    want = [t for t in row if t]
    got = [t for t in rtf[r] if t] if r < len(rtf) else []
    if len(want) != len(got) or not all(same(a, b) for a, b in zip(want, got)):
        failures.append(f"RTF row {r}: {got}, expected {want}")

# xlrd: numbers with the masks of their sub-functions, blanks, texts, widths.
book = xlrd.open_workbook(f"{work}/pivot.xls", formatting_info=True)
sheet = book.sheet_by_index(0)
if sheet.cell_value(0, 0) != CAPTION:
    failures.append(f"xlrd: caption {sheet.cell_value(0, 0)!r}")
for r, row in enumerate(expected):
    for c, want in enumerate(row):
        cell = sheet.cell(r + HEADING, c) if r + HEADING < sheet.nrows and c < sheet.ncols else None
        kind = cell.ctype if cell else xlrd.XL_CELL_EMPTY
        if want == "":
            ok = kind in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK)
        elif kind == xlrd.XL_CELL_NUMBER:
            fmt = book.format_map[book.xf_list[sheet.cell_xf_index(r + HEADING, c)].format_key]
            ok = shown(cell.value, fmt.format_str) == want
        else:
            ok = kind == xlrd.XL_CELL_TEXT and cell.value == want
        if not ok:
            failures.append(f"xlrd cell ({c},{r}): {cell!r}, expected {want!r}")
if len(sheet.colinfo_map) < width:
    failures.append(f"xlrd: {len(sheet.colinfo_map)} column widths for {width} columns")

# openpyxl: the same for the workbook, with its merges and fonts.
ws = openpyxl.load_workbook(f"{work}/pivot.xlsx").active
if ws.cell(1, 1).value != CAPTION or not ws.cell(1, 1).font.b:
    failures.append(f"openpyxl: caption {ws.cell(1, 1).value!r} not in bold")
merged = {(m.min_row, m.min_col): m for m in ws.merged_cells.ranges}
for r, row in enumerate(expected):
    for c, want in enumerate(row):
        cell = ws.cell(r + HEADING + 1, c + 1)
        value = cell.value
        if isinstance(value, (int, float)):
            ok = shown(value, cell.number_format) == want
        else:
            ok = (value or "") == want or (want == "" and type(cell).__name__ == "MergedCell")
        if not ok:
            failures.append(f"openpyxl cell ({c},{r}): {value!r} as {cell.number_format!r}, "
                            f"expected {want!r}")
if not merged:
    failures.append("openpyxl: no merged header items")
for (row, col), m in merged.items():
    if not ws.cell(row, col).value:
        failures.append(f"openpyxl: merged range {m} has no text in its first cell")
if ws.cell(HEADING + 1, 1).font.name != "Arial":
    failures.append(f"openpyxl: font {ws.cell(HEADING + 1, 1).font.name!r}")

# Printed pages: every text, no "###", no cell painted dark.
for pdf in ("rtfpdf", "xmlpdf", "emfpdf", "wmfpdf"):
    printed = open(f"{work}/{pdf}/pivot.txt", encoding="utf-8").read()
    missing = [t for t in texts if t not in printed and t.rstrip("0").rstrip(".") not in printed]
    if missing:
        failures.append(f"{pdf}: the printed page lacks {missing}")
    if "###" in printed:
        failures.append(f"{pdf}: a number does not fit its column")
    # LibreOffice draws the WMF at a sixth of its size whatever units per inch
    # its header gives, so its grid lines are most of the ink: texts only.
    if pdf == "wmfpdf":
        continue
    for page in glob.glob(f"{work}/{pdf}/page*.pgm"):
        # Text inks a tenth of a table at most; cells painted black most of it.
        dark = dark_share(page)
        if dark > 0.15:
            failures.append(f"{pdf}: {dark:.0%} of the table on {page} is dark")

if failures:
    print("\n".join(failures))
    sys.exit(1)
print(f"readers agree with the snapshot: {len(snapshot)} rows x {width} columns")
