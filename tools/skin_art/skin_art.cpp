// Draws the bitmaps of the main window's skin. Usage: qira-skin-art <folder>.
// The sizes are the ones the window expects: a 36-pixel caption strip with
// 15-pixel ends, 21 x 21 system icons (normal then hovered), 41 x 25 user
// buttons and the pieces of the 12-pixel vertical splitter.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>

namespace {

constexpr int kCaptionHeight = 36;
constexpr int kCaptionEnd = 15;
constexpr int kIcon = 21;
constexpr int kUserWidth = 41;
constexpr int kUserHeight = 25;
constexpr int kSplitter = 12;
constexpr int kGrip = 60;

const QColor kCaptionTop(74, 128, 205);
const QColor kCaptionBottom(33, 89, 173);
const QColor kWindowBack(250, 250, 250);

QImage Blank(int width, int height, const QColor& fill) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(fill);
    return image;
}

void FillCaption(QPainter& painter, const QRect& area) {
    QLinearGradient gradient(0, area.top(), 0, area.bottom());
    gradient.setColorAt(0, kCaptionTop);
    gradient.setColorAt(1, kCaptionBottom);
    painter.fillRect(area, gradient);
}

QImage CaptionMiddle() {
    QImage image = Blank(4, kCaptionHeight, kCaptionBottom);
    QPainter painter(&image);
    FillCaption(painter, image.rect());
    painter.setPen(QColor(150, 185, 235));
    painter.drawLine(0, 0, 3, 0);
    return image;
}

// The left end: the window's back colour outside a rounded corner.
QImage CaptionEnd() {
    QImage image = Blank(kCaptionEnd, kCaptionHeight, kWindowBack);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(0, 0, kCaptionEnd * 2, kCaptionHeight), 8, 8);
    painter.setClipPath(path);
    FillCaption(painter, image.rect());
    painter.setClipping(false);
    painter.setPen(QColor(150, 185, 235));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
    return image;
}

// Icons 0 minimise, 1 maximise, 2 restore, 3 close; normal, then hovered.
void DrawSysIcon(QPainter& painter, int slot, int icon, bool hover) {
    const QRect cell(slot * kIcon, 0, kIcon, kIcon);
    QLinearGradient gradient(0, 0, 0, kIcon);
    const QColor top =
        hover ? (icon == 3 ? QColor(240, 110, 100) : QColor(130, 175, 240)) : QColor(95, 145, 215);
    const QColor bottom =
        hover ? (icon == 3 ? QColor(200, 40, 30) : QColor(60, 115, 200)) : QColor(45, 100, 185);
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QColor(210, 225, 250));
    painter.setBrush(gradient);
    painter.drawRoundedRect(QRectF(cell).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    painter.setPen(QPen(Qt::white, 2));
    painter.setBrush(Qt::NoBrush);
    const int x = cell.x();
    switch (icon) {
        case 0:
            painter.drawLine(x + 6, 14, x + 15, 14);
            break;
        case 1:
            painter.drawRect(x + 6, 6, 9, 9);
            break;
        case 2:
            painter.setPen(QPen(Qt::white, 1.5));
            painter.drawRect(x + 8, 5, 8, 7);
            painter.drawRect(x + 5, 9, 8, 7);
            break;
        default:
            painter.drawLine(x + 6, 6, x + 15, 15);
            painter.drawLine(x + 15, 6, x + 6, 15);
            break;
    }
}

QImage SystemMenu() {
    QImage image = Blank(8 * kIcon, kIcon, kCaptionBottom);
    QPainter painter(&image);
    for (int icon = 0; icon < 4; ++icon) {
        DrawSysIcon(painter, icon, icon, false);
        DrawSysIcon(painter, 4 + icon, icon, true);
    }
    return image;
}

// Button 0 opens the settings, button 1 the help page; cells 0-1 normal,
// 2-3 hovered.
QImage UserButtons() {
    QImage image = Blank(4 * kUserWidth, kUserHeight, kWindowBack);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QString captions[] = {QStringLiteral("设置"), QStringLiteral("帮助")};
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPixelSize(12);
    painter.setFont(font);
    for (int cell = 0; cell < 4; ++cell) {
        const bool hover = cell >= 2;
        const QRectF box(cell * kUserWidth + 1.5, 1.5, kUserWidth - 3, kUserHeight - 3);
        QLinearGradient gradient(0, 0, 0, kUserHeight);
        gradient.setColorAt(0, hover ? QColor(255, 246, 205) : QColor(245, 248, 255));
        gradient.setColorAt(1, hover ? QColor(250, 205, 110) : QColor(200, 215, 240));
        painter.setPen(hover ? QColor(200, 140, 30) : QColor(120, 145, 190));
        painter.setBrush(gradient);
        painter.drawRoundedRect(box, 5, 5);
        painter.setPen(QColor(20, 50, 110));
        painter.drawText(box, Qt::AlignCenter, captions[cell % 2]);
    }
    return image;
}

QImage SplitterBack() {
    QImage image = Blank(kSplitter, 4, kWindowBack);
    const QColor shades[kSplitter] = {{200, 200, 200}, {236, 236, 236}, {246, 246, 246},
                                      {240, 240, 240}, {234, 234, 234}, {228, 228, 228},
                                      {228, 228, 228}, {222, 222, 222}, {216, 216, 216},
                                      {210, 210, 210}, {196, 196, 196}, {160, 160, 160}};
    for (int x = 0; x < kSplitter; ++x)
        for (int y = 0; y < 4; ++y) image.setPixelColor(x, y, shades[x]);
    return image;
}

const QColor kGripFill(120, 160, 220);

QImage SplitterGrip() {
    QImage image = Blank(kSplitter, kGrip, QColor(228, 228, 228));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QColor(60, 100, 170));
    painter.setBrush(kGripFill);
    painter.drawRoundedRect(QRectF(1.5, 0.5, kSplitter - 3, kGrip - 1), 3, 3);
    return image;
}

// An 8-pixel arrow on the grip's colour, pointing left or right.
QImage SplitterArrow(bool left) {
    QImage image = Blank(kSplitter, 8, kGripFill);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    QPolygonF arrow;
    if (left)
        arrow << QPointF(3, 4) << QPointF(8.5, 0.5) << QPointF(8.5, 7.5);
    else
        arrow << QPointF(9, 4) << QPointF(3.5, 0.5) << QPointF(3.5, 7.5);
    painter.drawPolygon(arrow);
    return image;
}

bool Save(const QImage& image, const QDir& folder, const char* name) {
    if (image.save(folder.filePath(QString::fromLatin1(name)), "BMP")) return true;
    std::fprintf(stderr, "cannot write %s\n", name);
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: qira-skin-art <folder>\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath(QStringLiteral("."))) return 1;
    bool ok = Save(CaptionMiddle(), folder, "CaptionMid.bmp");
    ok = Save(CaptionEnd(), folder, "CaptionLR.bmp") && ok;
    ok = Save(SystemMenu(), folder, "SysMenu.bmp") && ok;
    ok = Save(UserButtons(), folder, "UserButton.bmp") && ok;
    ok = Save(SplitterBack(), folder, "VSpliterBk.bmp") && ok;
    ok = Save(SplitterGrip(), folder, "VSpliterMidBk.bmp") && ok;
    ok = Save(SplitterArrow(true), folder, "VSpliterMid_Left.bmp") && ok;
    ok = Save(SplitterArrow(false), folder, "VSpliterMid_Right.bmp") && ok;
    return ok ? 0 : 1;
}
