#pragma once

#include <QImage>
#include <QPixmap>
#include <string>
#include <string_view>

namespace qira::platform {

// Loads a picture given as a path below `root` written with "\" separators
// (for example "Res\CaptionMid.bmp"). A missing or unreadable file gives a
// null pixmap: the caller leaves that picture out. Nothing is cached, so a
// file replaced while the program runs is used from its next drawing on.
QPixmap LoadResourcePixmap(std::string_view root, std::string_view windowsStylePath);

// Reads a picture file in the format its name ends in. Qt asks every image
// plugin whether it can read a file opened without a format, which loads them
// all (JPEG, GIF, ICO and their libraries) into a client that draws BMP files;
// a file whose content does not match its name is still read, by content.
QImage ReadPicture(const QString& path);

// The same path as a QString, for pages and sounds.
QString ResourcePath(std::string_view root, std::string_view windowsStylePath);

}  // namespace qira::platform
