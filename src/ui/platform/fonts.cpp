#include "ui/platform/fonts.h"

#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>

namespace qira::platform {

namespace {

const QString kSubsetFamily = QStringLiteral("Qira Hei");
const QString kFullFamily = QStringLiteral("WenQuanYi Micro Hei");

bool LoadSubsetFont(const QString& file) {
    if (file.isEmpty() || !QFileInfo(file).isFile()) return false;
    const int id = QFontDatabase::addApplicationFont(file);
    return id >= 0 && QFontDatabase::applicationFontFamilies(id).contains(kSubsetFamily);
}

}  // namespace

bool InstallFontSubstitutions(const QString& subsetFontFile) {
    const bool loaded = LoadSubsetFont(subsetFontFile);
    const QStringList families = loaded ? CjkFamilies() : QStringList{kFullFamily};
    QFont::insertSubstitutions(QStringLiteral("宋体"), families);
    QFont::insertSubstitutions(QStringLiteral("SimSun"), families);
    return loaded;
}

QStringList CjkFamilies() {
    return {kSubsetFamily, kFullFamily};
}

}  // namespace qira::platform
