#pragma once

#include "art_canvas.h"

namespace qira::artgen {

// Background, buttons, marks, dice, flags and the discard-animation pieces.
void GenerateTableArt(ArtWriter& writer);

// The caption strip, system and user buttons and the splitter pictures.
void GenerateSkinArt(ArtWriter& writer);

// Message-box icons and player portraits.
void GenerateIconArt(ArtWriter& writer, int portraitCount);

}  // namespace qira::artgen
