#include "ui/platform/pane_title.h"

namespace qira::platform {

PaneTitle::PaneTitle(QWidget* parent) : QLabel(parent) {
    SetColours(QColor(0, 138, 140), Qt::white, 4);
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);
}

void PaneTitle::SetColours(const QColor& background, const QColor& text, int padding) {
    setStyleSheet(QStringLiteral("QLabel { background: %1; color: %2; padding: %3px; }")
                      .arg(background.name(), text.name())
                      .arg(padding));
}

}  // namespace qira::platform
