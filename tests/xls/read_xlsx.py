#!/usr/bin/python3
"""Dumps an .xlsx book as openpyxl reads it, in the form of read_xls.py, so
that the C++ tests compare both formats with one reader of the output.

Usage: read_xlsx.py BOOK [--rows SPEC] [--last N]   (as read_xls.py)

Colours are given as the XLS palette indexes of the books: font 000000 8,
FF0000 10, 0000FF 12, FF00FF 14, no colour 32767 (automatic), any other -2;
solid fill 00FF00 11, none -1, any other -2. Texts are unescaped as Excel
reads them (_xHHHH_ is the character HHHH). Error cells are "error" cells.
"""
import re
import sys

import openpyxl
import openpyxl.reader.excel
from openpyxl.cell.read_only import EMPTY_CELL
from openpyxl.cell.text import Text
from openpyxl.xml.constants import SHEET_MAIN_NS
from openpyxl.xml.functions import iterparse

from read_xls import escape, parse_args, wanted_rows

FONTS = {"FF000000": 8, "FFFF0000": 10, "FF0000FF": 12, "FFFF00FF": 14}
FILLS = {"FF00FF00": 11}
ESCAPED = re.compile("_x([0-9A-Fa-f]{4})_")


def read_string_table(xml_source):
    """The shared strings as they are stored (openpyxl's own reader drops
    every "x005F_", which unescape() below does as Excel does)."""
    strings = []
    for _, node in iterparse(xml_source):
        if node.tag == "{%s}si" % SHEET_MAIN_NS:
            strings.append(Text.from_tree(node).content)
            node.clear()
    return strings


openpyxl.reader.excel.read_string_table = read_string_table


def font_index(font):
    if font is None or font.color is None:
        return 32767
    return FONTS.get(font.color.rgb, -2)


def fill_index(fill):
    if fill is None or fill.fill_type is None:
        return -1
    return FILLS.get(fill.fgColor.rgb, -2) if fill.fill_type == "solid" else -2


def cell_record(cell):
    value = cell.value
    if value is None:
        return "blank", ""
    if cell.data_type == "e":
        return "error", escape(str(value))
    if isinstance(value, str):
        return "text", escape(ESCAPED.sub(lambda m: chr(int(m.group(1), 16)), value))
    return "number", repr(float(value))


def main(argv):
    path, spec, last = parse_args(argv)
    book = openpyxl.load_workbook(path, read_only=True)
    out = sys.stdout
    font0 = book._fonts[0]
    out.write("book\t%s\t%d\n" % (escape(font0.name), round(font0.sz * 20)))
    for index, sheet in enumerate(book.worksheets):
        sheet.reset_dimensions()  # rows as they are, not padded to a stated size
        counts = {"text": 0, "number": 0, "blank": 0, "error": 0}
        rows = {}
        nrows = ncols = 0
        for row in sheet.iter_rows():
            for cell in row:
                if cell is EMPTY_CELL:
                    continue
                kind, value = cell_record(cell)
                counts[kind] += 1
                r, c = cell.row - 1, cell.column - 1
                nrows, ncols = max(nrows, r + 1), max(ncols, c + 1)
                rows.setdefault(r, []).append((c, kind, font_index(cell.font), fill_index(cell.fill), value))
        out.write("sheet\t%d\t%s\t%d\t%d\t%d\t%d\t%d\n" % (
            index, escape(sheet.title), nrows, ncols, counts["text"], counts["number"], counts["blank"]))
        for r in wanted_rows(spec, last, nrows):
            for c, kind, font, fill, value in rows.get(r, []):
                out.write("cell\t%d\t%d\t%d\t%s\t%d\t%d\t%s\n" % (index, r, c, kind, font, fill, value))


if __name__ == "__main__":
    main(sys.argv)
