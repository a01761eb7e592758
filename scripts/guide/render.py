#!/usr/bin/env python3
"""Renders the user guide's Markdown (docs/guide) into one HTML page.

The chapters are joined in the order the index lists them; a link to a
chapter becomes a link inside the page, a link to another file of the
repository a path relative to the output folder. Pictures stay under images/
beside the page (scripts/render-guide makes them there).

    render.py GUIDE-DIR OUT.html
"""
import os
import re
import sys

import markdown

LINK = re.compile(r"(!?)\[([^\]]*)\]\(([^)\s]+)\)")
# Chinese characters and punctuation (CJK, their symbols, full-width forms).
WIDE = re.compile("[\u3000-\u303f\u3400-\u9fff\uf900-\ufaff\uff00-\uffef]")


def chapter_files(guide_dir):
    """index.md, then the chapters in the order the index links them."""
    with open(os.path.join(guide_dir, "index.md"), encoding="utf-8") as f:
        index = f.read()
    chapters = []
    for _, _, target in LINK.findall(index):
        name = target.split("#")[0]
        if name.endswith(".md") and "/" not in name and name not in chapters:
            chapters.append(name)
    return ["index.md"] + chapters


def anchor_of(chapter):
    return "ch-" + chapter[:-3]


def rewrite_links(text, chapters, guide_dir, out_dir):
    def fix(m):
        bang, label, target = m.groups()
        if bang or re.match(r"^[a-z]+:", target) or target.startswith("#"):
            return m.group(0)
        name, _, fragment = target.partition("#")
        if name in chapters:
            return f"[{label}](#{anchor_of(name)})"
        path = os.path.relpath(os.path.join(guide_dir, name), out_dir)
        return f"[{label}]({path}{'#' + fragment if fragment else ''})"
    return LINK.sub(fix, text)


def join_wide_lines(text):
    """Joins the wrapped lines of a paragraph where both sides are Chinese:
    browsers show such a break as a space, which Chinese text does not have
    ("一个 成员"). Headings, table rows and fenced code keep their lines."""
    out = []
    fenced = False
    for line in text.split("\n"):
        if line.startswith("```"):
            fenced = not fenced
        prev = out[-1] if out else ""
        if (not fenced and not line.startswith("```") and WIDE.match(line.lstrip())
                and prev and WIDE.match(prev[-1]) and not prev.lstrip().startswith(("#", "|"))):
            out[-1] = prev + line.lstrip()
        else:
            out.append(line)
    return "\n".join(out)


def render(guide_dir, out_file):
    out_dir = os.path.dirname(os.path.abspath(out_file))
    chapters = chapter_files(guide_dir)
    sections = []
    for chapter in chapters:
        with open(os.path.join(guide_dir, chapter), encoding="utf-8") as f:
            text = rewrite_links(join_wide_lines(f.read()), chapters,
                                 os.path.abspath(guide_dir), out_dir)
        body = markdown.markdown(text, extensions=["tables", "fenced_code"])
        sections.append(f'<section class="chapter" id="{anchor_of(chapter)}">\n{body}\n</section>')
    with open(os.path.join(os.path.dirname(__file__), "guide.css"), encoding="utf-8") as f:
        style = f.read()
    title = "Quarrydesk 用户指南"
    page = (f'<!DOCTYPE html>\n<html lang="zh-CN">\n<head>\n<meta charset="utf-8">\n'
            f"<title>{title}</title>\n<style>\n{style}</style>\n</head>\n<body>\n"
            + "\n".join(sections) + "\n</body>\n</html>\n")
    with open(out_file, "w", encoding="utf-8") as f:
        f.write(page)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: render.py GUIDE-DIR OUT.html")
    render(sys.argv[1], sys.argv[2])
