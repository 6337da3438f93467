#pragma once

#include <QPixmap>
#include <string>
#include <string_view>

namespace qira::platform {

// Loads a picture given as a path below `root` written with "\" separators
// (for example "Res\CaptionMid.bmp"). A missing or unreadable file gives a
// null pixmap: the caller leaves that picture out. Nothing is cached, so a
// file replaced while the program runs is used from its next drawing on.
QPixmap LoadResourcePixmap(std::string_view root, std::string_view windowsStylePath);

// The same path as a QString, for pages and sounds.
QString ResourcePath(std::string_view root, std::string_view windowsStylePath);

}  // namespace qira::platform
