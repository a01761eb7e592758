#!/usr/bin/env python3
"""The pivot benchmark table: quarrydesk-cli against DuckDB in the same run.

For each size (default 1M and 10M facts of ../shared/bench/gen_facts.py) it
imports the SQLite facts into a cube file (rows city, branch; columns yr, q;
summary amnt), then alternates rounds of our commands and of the DuckDB peer
(when node and its package are at hand) and prints the medians as a Markdown
table. Our phases come from --timing; peak memory from /usr/bin/time.

Usage: pivot_table.py CLI DATA_DIR PEERS_DIR [--sizes 1M,10M] [--rounds 3]
"""

import argparse
import json
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

QUERY = ("SELECT city, branch, CAST(substr(group_date, 1, 4) AS INTEGER) AS yr, "
         "(CAST(substr(group_date, 6, 2) AS INTEGER) + 2) / 3 AS q, amnt FROM facts")
LAYOUT = ["--rows", "city,branch", "--cols", "yr,q", "--summaries", "amnt", "--expand", "all",
          "--format", "cells"]
GEN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "shared", "bench",
                   "gen_facts.py")


def rows_of(text):
    text = text.strip().upper()
    scale = {"K": 1000, "M": 1000000}.get(text[-1:], 1)
    return int(text.rstrip("KM")) * scale


def data_files(data_dir, rows):
    base = os.path.join(data_dir, "facts_%d" % rows)
    csv, db = base + ".csv", base + ".db"
    if not (os.path.exists(csv) and os.path.exists(db)):
        print("generating %s" % base, file=sys.stderr)
        subprocess.run([sys.executable, GEN, "--rows", str(rows), "--out", csv + ".tmp",
                        "--sqlite", db + ".tmp"], check=True)
        os.replace(csv + ".tmp", csv)
        os.replace(db + ".tmp", db)
    return csv, db


def timed(cmd, env=None, stdout=subprocess.DEVNULL):
    """Runs cmd under /usr/bin/time: (wall seconds, peak KB, stderr text)."""
    full = ["/usr/bin/time", "-f", "@@ %e %M"] + cmd
    start = time.perf_counter()
    done = subprocess.run(full, stdout=stdout, stderr=subprocess.PIPE, text=True,
                          env=env, check=False)
    wall = time.perf_counter() - start
    if done.returncode != 0:
        raise RuntimeError("%s failed:\n%s" % (" ".join(cmd), done.stderr))
    peak = int(re.search(r"@@ \S+ (\d+)", done.stderr).group(1))
    return wall, peak, done.stderr


def phase(stderr, name):
    return float(re.search(r"^%s: ([0-9.]+)" % name, stderr, re.M).group(1))


def ours_round(cli, cube, db):
    out = {}
    one = dict(os.environ, QD_THREADS="1")
    with tempfile.TemporaryDirectory() as tmp:
        target = os.path.join(tmp, "c.vtc")
        _, _, err = timed([cli, "import", "--connection", "Provider=SQLite;Data Source=" + db,
                           "--query", QUERY, "--rows", "city,branch", "--cols", "yr,q",
                           "--summaries", "amnt", "-o", target, "--timing", "--quiet"])
        out["read"], out["save"] = phase(err, "read"), phase(err, "save")
    pivot = [cli, "pivot", cube] + LAYOUT + ["--timing", "--quiet", "-o", "/dev/null"]
    basic = pivot + ["--functions", "Sum,Count,Average,Min,Max"]
    wall, peak, err = timed(basic)
    out["pivot"], out["command"], out["peak_kb"] = phase(err, "pivot"), wall, peak
    _, _, err = timed(basic, env=one)
    out["pivot_1t"] = phase(err, "pivot")
    _, _, err = timed(pivot + ["--functions", "Median"])
    out["median"] = phase(err, "pivot")
    start = time.perf_counter()
    subprocess.run(["sqlite3", db, QUERY], stdout=subprocess.DEVNULL, check=True)
    out["sqlite"] = time.perf_counter() - start
    return out


def duckdb_round(peers, csv):
    script = os.path.join(peers, "duckdb_pivot.mjs")
    with tempfile.TemporaryFile(mode="w+") as out:
        timed_result = timed(["node", script, csv, "2", "2"], stdout=out)
        out.seek(0)
        result = json.loads(out.read().strip().splitlines()[-1])
    peak = timed_result[1]
    return {"pivot": min(result["pivot_s"]), "median": min(result["median_s"]),
            "peak_kb": peak, "grand_sum": result["grand_sum"], "grand_median": result["grand_median"]}


def facts_bytes(cli, cube):
    info = subprocess.run([cli, "info", cube], capture_output=True, text=True, check=True).stdout
    dims = int(re.search(r"^dimensions: (\d+)", info, re.M).group(1))
    sums = int(re.search(r"^summaries: (\d+)", info, re.M).group(1))
    facts = int(re.search(r"^facts: (\d+)", info, re.M).group(1))
    return facts * (4 * dims + 8 * sums)


def med(rounds, key):
    return statistics.median(r[key] for r in rounds)


def table(label, rows, ours, peer, fact_bytes):
    cells = 16881
    cell_bytes = cells * 5 * 8
    print("\n%s facts (%d); medians of %d paired rounds; load average %s" %
          (label, rows, len(ours), os.getloadavg()[0]))
    print("\n| | ours | DuckDB, 2 threads, same runs | ratio |")
    print("|---|---|---|---|")
    def line(name, value, other=None, unit="s"):
        if other is None:
            print("| %s | %s | — | — |" % (name, value))
        else:
            print("| %s | %.3f %s | %.3f %s | %.3f |" % (name, value, unit, other, unit,
                                                       value / other))
    p = med(ours, "pivot")
    line("pivot phase, Sum/Count/Average/Min/Max", p, med(peer, "pivot") if peer else None)
    line("… on one thread (QD_THREADS=1)", med(ours, "pivot_1t"),
         med(peer, "pivot") if peer else None)
    line("median", med(ours, "median"), med(peer, "median") if peer else None)
    line("open the cube file and print the pivot (whole command)", "%.3f s" % med(ours, "command"))
    read, sqlite = med(ours, "read"), med(ours, "sqlite")
    line("import `read:` (SQLite)", "%.2fM rows/s, %.2f × `sqlite3` (%.3f s)" %
         (rows / read / 1e6, read / sqlite, sqlite))
    line("save (`save:`)", "%.3f s" % med(ours, "save"))
    peak = med(ours, "peak_kb") * 1024
    line("peak memory, load + pivot", "%.0f MB, %.2f × the fact table + cells" %
         (peak / 1e6, peak / (fact_bytes + cell_bytes)))
    if peer:
        print("| DuckDB peak memory (CSV load + pivot) | — | %.0f MB | — |" %
              (med(peer, "peak_kb") * 1024 / 1e6))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("cli")
    ap.add_argument("data_dir")
    ap.add_argument("peers")
    ap.add_argument("--sizes", default="1M,10M")
    ap.add_argument("--rounds", type=int, default=3)
    a = ap.parse_args()
    have_peer = shutil.which("node") and os.path.isdir(os.path.join(a.peers, "node_modules"))
    if not have_peer:
        print("DuckDB peer skipped: node or %s/node_modules missing" % a.peers, file=sys.stderr)
    for label in a.sizes.split(","):
        rows = rows_of(label)
        csv, db = data_files(a.data_dir, rows)
        with tempfile.TemporaryDirectory() as tmp:
            cube = os.path.join(tmp, "facts.vtc")
            subprocess.run([a.cli, "import", "--connection", "Provider=SQLite;Data Source=" + db,
                            "--query", QUERY, "--rows", "city,branch", "--cols", "yr,q",
                            "--summaries", "amnt", "-o", cube, "--quiet"],
                           stdout=subprocess.DEVNULL, check=True)
            ours, peer = [], []
            for _ in range(a.rounds):
                ours.append(ours_round(a.cli, cube, db))
                if have_peer:
                    peer.append(duckdb_round(a.peers, csv))
            table(label, rows, ours, peer, facts_bytes(a.cli, cube))
            if peer:
                print("\nDuckDB grand total %s, median %s" %
                      (peer[-1]["grand_sum"], peer[-1]["grand_median"]))


if __name__ == "__main__":
    main()
