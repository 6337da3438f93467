#include "ui/platform/resource_pixmap.h"

#include <QFileInfo>
#include <QImageReader>

#include "launch/globals.h"

namespace qira::platform {

QString ResourcePath(std::string_view root, std::string_view windowsStylePath) {
    return QString::fromStdString(launch::NativeResourcePath(root, windowsStylePath));
}

QPixmap LoadResourcePixmap(std::string_view root, std::string_view windowsStylePath) {
    const QString path = ResourcePath(root, windowsStylePath);
    if (!QFileInfo::exists(path)) return {};
    return QPixmap::fromImage(ReadPicture(path));
}

QImage ReadPicture(const QString& path) {
    const QFileInfo file(path);
    if (!file.isFile()) return {};
    QImageReader reader(path, file.suffix().toLower().toLatin1());
    reader.setAutoDetectImageFormat(false);
    QImage picture = reader.read();
    return picture.isNull() ? QImage(path) : picture;
}

}  // namespace qira::platform
