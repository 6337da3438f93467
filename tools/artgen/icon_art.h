#pragma once

#include <QString>

namespace qira::artgen {

// The program's desktop icon: one tile showing a large dot, drawn from one
// shape list both as SVG and as PNG pictures. Writes
// "hicolor/scalable/apps/NAME.svg" and "hicolor/SxS/apps/NAME.png" for the
// usual sizes below `iconRoot`; false when a file could not be written.
bool GenerateDesktopIcons(const QString& iconRoot, const QString& name);

}  // namespace qira::artgen
