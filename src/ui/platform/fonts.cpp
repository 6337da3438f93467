#include "ui/platform/fonts.h"

#include <QFont>
#include <QStringList>

namespace qira::platform {

void InstallFontSubstitutions() {
    const QStringList cjk{QStringLiteral("WenQuanYi Micro Hei")};
    QFont::insertSubstitutions(QStringLiteral("宋体"), cjk);
    QFont::insertSubstitutions(QStringLiteral("SimSun"), cjk);
}

}  // namespace qira::platform
