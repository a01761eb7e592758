#!/usr/bin/env python3
"""Checks the links of the project's Markdown: README.md and docs/**/*.md.

A relative link must name a file or folder of the tree; a #fragment in a link
to a Markdown file must name one of its headings (as the usual Markdown hosts
make anchors). A picture of the user guide (docs/guide/images/NAME.png) is
made by scripts/screenshot --all, so NAME must be one it lists. Web links are
not fetched. Prints every dead link and exits 1 when there is one.

    check_doc_links.py SOURCE-DIR
"""
import os
import re
import subprocess
import sys

LINK = re.compile(r"!?\[[^\]]*\]\(([^)\s]+)\)")
FENCE = re.compile(r"^(```|~~~)")
HEADING = re.compile(r"^#{1,6}\s+(.*?)\s*#*\s*$")


def without_code(text):
    """The text with fenced code blocks and inline code taken out."""
    lines, fenced = [], False
    for line in text.splitlines():
        if FENCE.match(line.strip()):
            fenced = not fenced
            continue
        lines.append("" if fenced else re.sub(r"`[^`]*`", "", line))
    return lines


def slug(heading):
    """The anchor a heading gets: lower case, punctuation dropped, spaces to '-'."""
    text = re.sub(r"[`*_]|\[([^\]]*)\]\([^)]*\)", r"\1", heading).strip().lower()
    text = re.sub(r"[^\w\- ]", "", text)
    return text.replace(" ", "-")


def anchors(path):
    with open(path, encoding="utf-8") as f:
        return {slug(m.group(1)) for line in without_code(f.read())
                if (m := HEADING.match(line))}


def markdown_files(root):
    yield os.path.join(root, "README.md")
    for folder, _, names in os.walk(os.path.join(root, "docs")):
        for name in sorted(names):
            if name.endswith(".md"):
                yield os.path.join(folder, name)


def dead_links(root, pictures):
    images = os.path.join(root, "docs", "guide", "images")
    for path in markdown_files(root):
        with open(path, encoding="utf-8") as f:
            lines = without_code(f.read())
        for number, line in enumerate(lines, 1):
            for target in LINK.findall(line):
                if re.match(r"^[a-z]+:", target):
                    continue
                name, _, fragment = target.partition("#")
                where = os.path.normpath(os.path.join(os.path.dirname(path), name)) if name else path
                place = f"{os.path.relpath(path, root)}:{number}: {target}"
                if os.path.dirname(where) == images:
                    base = os.path.basename(where)
                    if not base.endswith(".png") or base[:-4] not in pictures:
                        yield place + " (no screenshot picture of that name)"
                elif not os.path.exists(where):
                    yield place + " (no such file)"
                elif fragment and where.endswith(".md") and fragment not in anchors(where):
                    yield place + " (no such heading)"


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: check_doc_links.py SOURCE-DIR")
    root = os.path.abspath(sys.argv[1])
    listed = subprocess.run([os.path.join(root, "scripts", "screenshot"), "--list"],
                            check=True, capture_output=True, text=True).stdout
    dead = list(dead_links(root, set(listed.split())))
    for link in dead:
        print("dead link:", link)
    return 1 if dead else 0


if __name__ == "__main__":
    sys.exit(main())
