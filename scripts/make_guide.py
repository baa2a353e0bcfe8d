#!/usr/bin/env python3
"""Makes a user guide's HTML page: one page, its contents at the top, every
heading an anchor, the pictures inside the page so that it is one file.

    make_guide.py GUIDE.md OUT.html LANG

A heading written `## Title {#name}` keeps that name in every language: the
program opens the guide at those names.
"""
import base64
import html
import os
import re
import sys

import markdown
from markdown.extensions.toc import slugify_unicode

PAGE = """<!DOCTYPE html>
<html lang="{lang}">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>{title}</title>
<style>
body {{ font-family: "Segoe UI", "Microsoft YaHei", sans-serif; max-width: 52em; margin: 1em auto;
       padding: 0 1em; line-height: 1.5; }}
code, pre {{ font-family: Consolas, monospace; }}
pre {{ overflow-x: auto; padding: .5em; border: 1px solid; }}
table {{ border-collapse: collapse; }}
th, td {{ border: 1px solid; padding: .2em .5em; vertical-align: top; }}
img {{ max-width: 100%; }}
nav.toc ul {{ list-style: none; padding-left: 1.2em; }}
</style>
</head>
<body>
<h1 id="top">{title}</h1>
<nav class="toc" id="contents">
{toc}
</nav>
{body}
</body>
</html>
"""


def embed_pictures(text, folder):
    """Markdown pictures of the guide's folder as data: addresses."""
    def inline(match):
        path = os.path.join(folder, match.group(2))
        if not os.path.isfile(path):
            return match.group(0)
        with open(path, "rb") as f:
            data = base64.b64encode(f.read()).decode("ascii")
        return "![%s](data:image/png;base64,%s)" % (match.group(1), data)
    return re.sub(r"!\[([^\]]*)\]\(([^)\s]+\.png)\)", inline, text)


def main():
    source, target, lang = sys.argv[1:4]
    with open(source, encoding="utf-8") as f:
        text = f.read()
    # The first heading is the page's title, above the contents.
    first, _, rest = text.partition("\n")
    title = first.lstrip("# ").strip()
    converter = markdown.Markdown(
        extensions=["toc", "attr_list", "tables", "fenced_code", "sane_lists"],
        extension_configs={"toc": {"slugify": slugify_unicode, "toc_depth": "2-3"}})
    body = converter.convert(embed_pictures(rest, os.path.dirname(source)))
    page = PAGE.format(lang=lang, title=html.escape(title), toc=converter.toc, body=body)
    os.makedirs(os.path.dirname(os.path.abspath(target)), exist_ok=True)
    with open(target, "w", encoding="utf-8", newline="\r\n") as f:
        f.write(page)


if __name__ == "__main__":
    main()
