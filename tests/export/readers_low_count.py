"""Checks the low-count marks of readers_check.sh's Variance documents.

Every cell the command line counts on too few facts (Variance on one record)
shows its value with the marker in Calc, stays a number with a note in
openpyxl, and every reader shows the footnote under the table.
usage: readers_low_count.py WORK-DIR
"""
import csv
import sys

import openpyxl

work = sys.argv[1]
FOOTNOTE = "* 仅基于少量记录"
failures = []

# Cells format: row path, column path, summary, function, sub-function, value, count.
cells = [line.split("\t") for line in
         open(f"{work}/low/cells.tsv", encoding="utf-8").read().splitlines()]
low = sum(1 for c in cells if c[3] == "Variance" and c[5] != "" and int(c[6]) < 2)
if low == 0:
    failures.append("the Variance layout has no cell on one record: nothing is checked")

for doc in ("xlsx", "xml"):
    with open(f"{work}/low/{doc}/pivot.csv", encoding="utf-8", newline="") as f:
        rows = list(csv.reader(f))
    marked = sum(1 for r in rows for t in r if t.endswith("*") and t != FOOTNOTE)
    if marked != low:
        failures.append(f"Calc ({doc}): {marked} marked cells, the command line counts {low}")
    if not any(r and r[0].startswith(FOOTNOTE) for r in rows):
        failures.append(f"Calc ({doc}): no footnote under the table")

ws = openpyxl.load_workbook(f"{work}/low/pivot.xlsx").active
noted = 0
for row in ws.iter_rows():
    for c in row:
        if not c.number_format.endswith('"*"'):
            continue
        noted += 1
        if not isinstance(c.value, (int, float)):
            failures.append(f"openpyxl: marked cell {c.coordinate} holds {c.value!r}, not a number")
        if not c.comment or c.comment.text != "仅基于 1 条记录":
            failures.append(f"openpyxl: marked cell {c.coordinate} has no note of its count")
if noted != low:
    failures.append(f"openpyxl: {noted} marked cells, the command line counts {low}")

for pdf in ("rtfpdf", "pdf"):
    printed = open(f"{work}/low/{pdf}/pivot.txt", encoding="utf-8").read()
    if FOOTNOTE not in printed.replace("\n", ""):
        failures.append(f"{pdf}: the printed page lacks the footnote")
    if printed.count("*") < low + 1:
        failures.append(f"{pdf}: fewer markers than the {low} cells on one record")

if failures:
    print("\n".join(failures))
    sys.exit(1)
print(f"readers show the {low} low-count marks and the footnote")
