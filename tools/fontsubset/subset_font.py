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

The glyphs a client at the table draws come first in the file, with the parts
they are built from: those of the programs' own texts and the auto-hinter's
samples. Every page of the file the program touches stays mapped, and the
kernel maps 64 kB around each one, so glyphs in use that lie together keep
part of the file out of memory (about 600 of its 750 kB are mapped at a
table).

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
# The common characters FreeType's auto-hinter (2.12) loads to measure a CJK
# font, apart from those the programs' texts hold anyway.
HINTER_SAMPLES = "些们军它席想愿既星景民照理生田着舰著那配雷露面顾"


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


def texts_in(folders):
    found = set()
    for folder in folders:
        for path in pathlib.Path(folder).rglob("*"):
            if path.suffix not in TEXT_SUFFIXES or not path.is_file():
                continue
            text = path.read_text(encoding="utf-8", errors="ignore")
            found.update(ord(c) for c in text if ord(c) > 0x7F)
    return found


def put_first(font, characters):
    """Moves the glyphs of `characters` to the front of the glyph order (and
    so of the outlines in the file), keeping the order within each part."""
    cmap = font.getBestCmap()
    first = {cmap[c] for c in characters if c in cmap}
    # Most Chinese characters here are built from shared parts (composite
    # glyphs); the parts are loaded with them, so they come along.
    glyphs = font["glyf"]
    pending = list(first)
    while pending:
        glyph = glyphs[pending.pop()]
        if glyph.isComposite():
            for part in glyph.components:
                if part.glyphName not in first:
                    first.add(part.glyphName)
                    pending.append(part.glyphName)
    order = font.getGlyphOrder()
    front = [name for name in order[1:] if name in first]
    rest = [name for name in order[1:] if name not in first]
    for tag in font.keys():
        font[tag]  # decompiled with the old order before it changes
    font.setGlyphOrder([order[0]] + front + rest)


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
    own = texts_in(folders)
    ascii_text = set(range(0x20, 0x7F))
    kept = own | common_hanzi()
    for block in ALWAYS:
        kept.update(block)
    subsetter.populate(unicodes=kept)
    subsetter.subset(font)
    put_first(font, own | ascii_text | {ord(c) for c in HINTER_SAMPLES})
    rename(font, family)
    font.save(output)


if __name__ == "__main__":
    main(sys.argv)
