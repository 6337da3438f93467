#include "ui/platform/adv_pane.h"

#include <QFileInfo>
#include <QPainter>

namespace qira::platform {

AdvPane::AdvPane(QWidget* parent) : QWidget(parent), page_(this) {
    page_.setObjectName(QStringLiteral("TivAdvWeb"));
    page_.setOpenLinks(false);
    page_.setOpenExternalLinks(false);
    page_.setFrameShape(QFrame::NoFrame);
    page_.setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    page_.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void AdvPane::ShowPage(const QString& path) {
    if (!QFileInfo(path).isFile()) {
        page_.clear();
        return;
    }
    page_.setSource(QUrl::fromLocalFile(path));
}

void AdvPane::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QColor rings[] = {{0, 0, 150}, {192, 192, 190}, {0, 0, 250}};
    for (int inset = 0; inset < 3; ++inset) {
        painter.setPen(rings[inset]);
        painter.drawRect(rect().adjusted(inset, inset, -inset - 1, -inset - 1));
    }
}

void AdvPane::resizeEvent(QResizeEvent*) {
    if (height() < 10) return;
    page_.setGeometry(4, 3, width() - 8, height() - 6);
}

}  // namespace qira::platform
