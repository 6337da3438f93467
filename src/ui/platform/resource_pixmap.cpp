#include "ui/platform/resource_pixmap.h"

#include <QFileInfo>

#include "launch/globals.h"

namespace qira::platform {

QString ResourcePath(std::string_view root, std::string_view windowsStylePath) {
    return QString::fromStdString(launch::NativeResourcePath(root, windowsStylePath));
}

QPixmap LoadResourcePixmap(std::string_view root, std::string_view windowsStylePath) {
    const QString path = ResourcePath(root, windowsStylePath);
    if (!QFileInfo::exists(path)) return {};
    return QPixmap(path);
}

}  // namespace qira::platform
