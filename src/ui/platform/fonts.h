#pragma once

#include <QString>
#include <QStringList>

namespace qira::platform {

// The CJK font cut to the characters of the programs' own texts, built
// beside the pictures ("Res/QiraHei.ttf") from the full WenQuanYi font. Its
// few hundred glyphs sit together in a small file, where the same glyphs in
// the full font lie spread over most of its 5 MB.
inline constexpr char kSubsetFontFile[] = "QiraHei.ttf";

// Loads the subset font from `subsetFontFile` when it is given and exists,
// and maps the Windows font names the program asks for ("宋体", "SimSun") to
// it, with the full CJK font installed here behind it for every character it
// lacks (player names, chat). The choice does not depend on the fontconfig
// order. Returns whether the subset was loaded.
bool InstallFontSubstitutions(const QString& subsetFontFile = {});

// The CJK families in order of preference, for fonts set by family name:
// the subset (skipped by Qt when it is not loaded), then the full font.
QStringList CjkFamilies();

}  // namespace qira::platform
