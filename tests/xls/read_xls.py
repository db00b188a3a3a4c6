#!/usr/bin/python3
"""Dumps an .xls book as xlrd reads it, for the C++ tests to compare.

Usage: read_xls.py BOOK [--rows SPEC] [--last N]
  --rows SPEC  only these rows of every sheet, e.g. "0-30,65020-65030" (inclusive)
  --last N     also the last N rows of every sheet

Output, one record per line, fields separated by tabs:
  book   <name of font 0>  <height of font 0 in twips>
  sheet  <index>  <name>  <rows>  <columns>  <text cells>  <number cells>  <blank cells>
  cell   <sheet>  <row>  <column>  text|number|blank  <font colour index>  <fill colour index or -1>  <value>
Texts escape backslash, tab and line feed as \\\\, \\t, \\n; numbers are repr(float).
"""
import argparse
import sys

import xlrd

KINDS = {xlrd.XL_CELL_TEXT: "text", xlrd.XL_CELL_NUMBER: "number", xlrd.XL_CELL_BLANK: "blank"}


def escape(text):
    return text.replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n")


def wanted_rows(spec, last, nrows):
    if spec is None and last is None:
        return range(nrows)
    rows = set()
    for part in (spec or "").split(","):
        if part:
            first, _, end = part.partition("-")
            rows.update(range(int(first), min(int(end or first) + 1, nrows)))
    if last:
        rows.update(range(max(0, nrows - last), nrows))
    return sorted(rows)


def parse_args(argv):
    """BOOK, the --rows SPEC and the --last N of the command line."""
    parser = argparse.ArgumentParser()
    parser.add_argument("book")
    parser.add_argument("--rows")
    parser.add_argument("--last", type=int)
    args = parser.parse_args(argv[1:])
    return args.book, args.rows, args.last


def main(argv):
    path, spec, last = parse_args(argv)
    book = xlrd.open_workbook(path, formatting_info=True, on_demand=True)
    out = sys.stdout
    font0 = book.font_list[0]
    out.write("book\t%s\t%d\n" % (escape(font0.name), font0.height))
    for index in range(book.nsheets):
        sheet = book.get_sheet(index)
        counts = {"text": 0, "number": 0, "blank": 0}
        for r in range(sheet.nrows):
            for kind in sheet.row_types(r):
                name = KINDS.get(kind)
                if name:
                    counts[name] += 1
        out.write("sheet\t%d\t%s\t%d\t%d\t%d\t%d\t%d\n" % (
            index, escape(sheet.name), sheet.nrows, sheet.ncols,
            counts["text"], counts["number"], counts["blank"]))
        for r in wanted_rows(spec, last, sheet.nrows):
            for c, cell in enumerate(sheet.row(r)):
                kind = KINDS.get(cell.ctype)
                if kind is None:
                    continue
                xf = book.xf_list[cell.xf_index]
                font = book.font_list[xf.font_index].colour_index
                fill = xf.background.pattern_colour_index if xf.background.fill_pattern else -1
                value = escape(cell.value) if kind == "text" else repr(cell.value) if kind == "number" else ""
                out.write("cell\t%d\t%d\t%d\t%s\t%d\t%d\t%s\n" % (index, r, c, kind, font, fill, value))
        book.unload_sheet(index)


if __name__ == "__main__":
    main(sys.argv)
