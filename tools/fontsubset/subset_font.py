#!/usr/bin/env python3
"""Cuts a font down to the characters the programs' texts use.

The full CJK font holds some 20,000 glyphs spread over 5 MB, and opening it
to draw even one character touches most of it: FreeType's auto-hinter loads
a sample of common characters from all over the file to measure the font.
The subset keeps every character found in the given source folders, the
3,755 common characters of GB 2312 level 1 (most player names and chat, and
the auto-hinter's samples, so text is drawn exactly as with the full font),
Latin text and the common punctuation, under a family name of its own so that
it never stands in for the full font, which still draws anything else.

  subset_font.py FONT FAMILY OUTPUT FOLDER...
"""
import pathlib
import sys

from fontTools import subset
from fontTools.ttLib import TTFont

TEXT_SUFFIXES = {".cpp", ".h", ".txt", ".htm", ".html"}
ALWAYS = [
    range(0x20, 0x7F),  # ASCII
    range(0xA0, 0x100),  # Latin-1
    range(0x2000, 0x2070),  # general punctuation
    range(0x2160, 0x2190),  # Roman numerals, arrows
    range(0x25A0, 0x2600),  # shapes
    range(0x3000, 0x3040),  # CJK punctuation
    range(0xFF00, 0xFFF0),  # full-width forms
]
NAME_IDS = (1, 3, 4, 6, 16, 18, 21)


def common_hanzi():
    """GB 2312 level 1: rows 0xB0 to 0xD7, 94 cells each (the last row ends early)."""
    found = set()
    for row in range(0xB0, 0xD8):
        for cell in range(0xA1, 0xFF):
            try:
                found.add(ord(bytes([row, cell]).decode("gb2312")))
            except UnicodeDecodeError:
                pass
    return found


def characters_in(folders):
    found = common_hanzi()
    for folder in folders:
        for path in pathlib.Path(folder).rglob("*"):
            if path.suffix not in TEXT_SUFFIXES or not path.is_file():
                continue
            text = path.read_text(encoding="utf-8", errors="ignore")
            found.update(ord(c) for c in text if ord(c) > 0x7F)
    for block in ALWAYS:
        found.update(block)
    return found


def rename(font, family):
    postscript = family.replace(" ", "")
    names = {1: family, 3: family, 4: family, 6: postscript, 16: family, 21: family}
    table = font["name"]
    for record in list(table.names):
        if record.nameID in NAME_IDS:
            table.removeNames(nameID=record.nameID)
    for name_id in (1, 3, 4, 6):
        table.setName(names[name_id], name_id, 3, 1, 0x409)
        table.setName(names[name_id], name_id, 1, 0, 0)


def main(argv):
    if len(argv) < 5:
        sys.exit(__doc__)
    source, family, output, folders = argv[1], argv[2], argv[3], argv[4:]
    font = TTFont(source, fontNumber=0, lazy=False)
    options = subset.Options()
    options.font_number = 0
    options.name_IDs = ["*"]
    options.notdef_outline = True
    options.drop_tables += ["FFTM"]
    subsetter = subset.Subsetter(options=options)
    subsetter.populate(unicodes=characters_in(folders))
    subsetter.subset(font)
    rename(font, family)
    font.save(output)


if __name__ == "__main__":
    main(sys.argv)
