#pragma once

#include <QImage>

#include "art_canvas.h"

namespace qira::artgen {

// Which way the top of a tile's face points on the screen.
enum class FaceTurn { Upright, TopToRight, TopToLeft };

// A face-up tile lying on the table: the face, and below it the near edge
// (face layer over the coloured back layer) `edge` pixels high.
QImage LyingFaceTile(QSize size, int edge, int tileCode, FaceTurn turn);

// A tile standing towards the viewer: a strip of its top, then the face.
QImage StandingFaceTile(QSize size, int topStrip, int tileCode);

// Every tile face, back and wall picture, into "ResMj/".
void GenerateTileArt(ArtWriter& writer);

// The handbook's tile pictures, face up and twice the size they are shown
// at, into "Res/help/tiles/" beside the page: one per tile, named as the
// page writes tiles (HelpTileName), and "back.png".
void GenerateHelpTileArt(ArtWriter& writer);

// "1m"-"9m" characters, "1p"-"9p" dots, "1s"-"9s" bamboo, "1z"-"4z" the
// winds east to north, "5z"-"7z" the dragons red, green, white.
QString HelpTileName(int code);

// The tile codes that exist: 0-30 and 36-38.
bool IsTileCode(int code);

}  // namespace qira::artgen
