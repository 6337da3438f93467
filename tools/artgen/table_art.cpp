#include "table_art.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>
#include <array>
#include <cmath>

#include "tile_art.h"

namespace qira::artgen {
namespace {

const QColor kGold(246, 204, 92);
const QColor kDarkGold(150, 104, 20);
const QColor kWoodLight(150, 96, 52);
const QColor kWoodDark(74, 42, 18);
const QColor kIvory(252, 250, 242);

QImage Blank(QSize size, QColor colour) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(colour);
    return image;
}

// Pastes `cell` into `sheet` at `origin`.
void Paste(QImage& sheet, const QImage& cell, QPoint origin) {
    QPainter painter(&sheet);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(origin, cell);
}

// --- table background ---------------------------------------------------

QImage CentrePicture() {
    const QSize size(300, 230);
    return RenderSupersampled(
        size,
        [](QPainter& p) {
            const QRectF panel(6, 6, 288, 218);
            QRadialGradient felt(panel.center(), 170);
            felt.setColorAt(0, QColor(44, 112, 200));
            felt.setColorAt(1, QColor(26, 74, 150));
            p.setPen(QPen(QColor(20, 56, 120), 2));
            p.setBrush(felt);
            p.drawRoundedRect(panel, 18, 18);
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(QColor(246, 204, 92, 150), 1.5));
            p.drawRoundedRect(panel.adjusted(7, 7, -7, -7), 13, 13);
            // A faint compass rose with the four winds.
            const QPointF centre = panel.center();
            p.setPen(Qt::NoPen);
            for (int i = 0; i < 8; ++i) {
                QPainterPath ray;
                const qreal length = i % 2 == 0 ? 78 : 46;
                ray.moveTo(0, -length);
                ray.lineTo(9, 0);
                ray.lineTo(0, 12);
                ray.lineTo(-9, 0);
                ray.closeSubpath();
                p.save();
                p.translate(centre);
                p.rotate(45.0 * i);
                p.setBrush(QColor(255, 255, 255, i % 2 == 0 ? 34 : 22));
                p.drawPath(ray);
                p.restore();
            }
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(QColor(255, 255, 255, 40), 1.5));
            p.drawEllipse(centre, 58, 58);
            p.drawEllipse(centre, 30, 30);
            const QColor faint(255, 255, 255, 60);
            DrawFittedText(p, "北", QRectF(centre.x() - 11, panel.top() + 12, 22, 22), faint);
            DrawFittedText(p, "南", QRectF(centre.x() - 11, panel.bottom() - 34, 22, 22), faint);
            DrawFittedText(p, "西", QRectF(panel.left() + 16, centre.y() - 11, 22, 22), faint);
            DrawFittedText(p, "東", QRectF(panel.right() - 38, centre.y() - 11, 22, 22), faint);
        },
        kTableBlue);
}

QImage VerticalEdge() {
    // Stored for the right edge: the inner side on the left.
    QImage image = Blank({8, 32}, kTableBlue);
    QPainter p(&image);
    QLinearGradient wood(0, 0, 8, 0);
    wood.setColorAt(0, kWoodLight.lighter(120));
    wood.setColorAt(0.35, kWoodLight);
    wood.setColorAt(1, kWoodDark);
    p.fillRect(image.rect(), wood);
    p.setPen(kGold);
    p.drawLine(0, 0, 0, 31);
    return image;
}

QImage HorizontalEdge() {
    // Stored for the top edge: the inner side at the bottom.
    QImage image = Blank({32, 5}, kTableBlue);
    QPainter p(&image);
    QLinearGradient wood(0, 0, 0, 5);
    wood.setColorAt(0, kWoodDark);
    wood.setColorAt(0.65, kWoodLight);
    wood.setColorAt(1, kWoodLight.lighter(120));
    p.fillRect(image.rect(), wood);
    p.setPen(kGold);
    p.drawLine(0, 4, 31, 4);
    return image;
}

QImage Corner() {
    // The top-right corner: wood along the top and the right side.
    return RenderSupersampled(
        {18, 18},
        [](QPainter& p) {
            QLinearGradient wood(0, 0, 18, 18);
            wood.setColorAt(0, kWoodLight);
            wood.setColorAt(1, kWoodDark);
            QPainterPath frame;
            frame.addRect(0, 0, 18, 18);
            QPainterPath inner;
            inner.addRoundedRect(QRectF(-10, 5, 20, 23), 6, 6);
            p.setPen(Qt::NoPen);
            p.setBrush(wood);
            p.drawPath(frame.subtracted(inner));
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(kGold, 1));
            p.drawRoundedRect(QRectF(-10, 4.5, 20, 24), 6, 6);
            p.setPen(Qt::NoPen);
            p.setBrush(kGold);
            p.drawEllipse(QPointF(13.5, 2.8), 1.8, 1.8);
        },
        kTableBlue);
}

// --- buttons ------------------------------------------------------------

QImage ActionButtons() {
    const std::array<QString, 5> labels = {"吃", "碰", "杠", "胡", "过"};
    QImage sheet = Blank({125, 54}, kTableBlue);
    for (int i = 0; i < 5; ++i) {
        for (int row = 0; row < 2; ++row) {
            const bool available = row == 0;
            const QImage cell = RenderSupersampled({25, 27}, [&](QPainter& p) {
                const QColor top = available ? QColor(255, 214, 110) : QColor(176, 176, 176);
                const QColor bottom = available ? QColor(222, 120, 24) : QColor(120, 120, 120);
                DrawBevelPanel(p, QRectF(0, 0, 25, 27), top, bottom, 3);
                const QColor ink = available ? QColor(120, 20, 10) : QColor(80, 80, 80);
                DrawFittedText(p, labels[static_cast<size_t>(i)], QRectF(3.5, 4, 18, 19), ink);
            });
            Paste(sheet, cell, {25 * i, 27 * row});
        }
    }
    return sheet;
}

// Three looks of the three centre buttons side by side, then the mask.
QImage CentreButtons() {
    const std::array<QString, 3> labels = {"挂档", "漂", "确定"};
    QImage sheet = Blank({540, 35}, Qt::black);
    const QRectF body(1, 1, 52, 33);
    for (int look = 0; look < 3; ++look) {
        for (int i = 0; i < 3; ++i) {
            const QImage cell = RenderSupersampled(
                {54, 35},
                [&](QPainter& p) {
                    QColor top(112, 196, 255);
                    QColor bottom(24, 88, 196);
                    if (look == 1) {
                        top = QColor(170, 230, 255);
                        bottom = QColor(40, 130, 235);
                    } else if (look == 2) {
                        top = QColor(255, 220, 120);
                        bottom = QColor(200, 110, 20);
                    }
                    DrawBevelPanel(p, body, top, bottom, 9);
                    DrawFittedText(p, labels[static_cast<size_t>(i)], body.adjusted(9, 7, -9, -7),
                                   look == 2 ? QColor(100, 30, 0) : Qt::white);
                },
                Qt::black);
            Paste(sheet, cell, {look * 162 + 54 * i, 0});
        }
    }
    // The mask: black where the button is, white where the table shows.
    QImage mask = Blank({54, 35}, Qt::white);
    {
        QPainter p(&mask);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        p.drawRoundedRect(body.adjusted(-0.5, -0.5, 0.5, 0.5), 9, 9);
    }
    Paste(sheet, mask, {486, 0});
    // Where the mask is white the looks must be black, or they would tint the table.
    for (int x = 0; x < 486; ++x)
        for (int y = 0; y < 35; ++y)
            if (mask.pixelColor(x % 54, y) == Qt::white) sheet.setPixelColor(x, y, Qt::black);
    return sheet;
}

QImage StartButtons() {
    QImage sheet = Blank({142, 71}, kTableBlue);
    for (int look = 0; look < 2; ++look) {
        const QImage cell = RenderSupersampled(
            {71, 71},
            [&](QPainter& p) {
                const QPointF centre(35.5, 35.5);
                p.setPen(Qt::NoPen);
                p.setBrush(QColor(0, 0, 0, 70));
                p.drawEllipse(centre + QPointF(1.5, 2), 33, 33);
                QRadialGradient ring(centre, 34);
                ring.setColorAt(0.85, kGold);
                ring.setColorAt(1, kDarkGold);
                p.setBrush(ring);
                p.drawEllipse(centre, 33, 33);
                QRadialGradient body(centre - QPointF(8, 10), 34);
                body.setColorAt(0, look == 0 ? QColor(240, 80, 60) : QColor(255, 130, 100));
                body.setColorAt(1, look == 0 ? QColor(150, 16, 12) : QColor(200, 40, 24));
                p.setBrush(body);
                p.drawEllipse(centre, 28, 28);
                DrawFittedText(p, "开始", QRectF(14, 22, 43, 27),
                               look == 0 ? kGold : QColor(255, 250, 200));
            },
            kTableBlue);
        Paste(sheet, cell, {71 * look, 0});
    }
    return sheet;
}

// --- marks --------------------------------------------------------------

QImage RoundBadge(QSize size, const QString& text, QColor top, QColor bottom, QColor ink,
                  QColor background) {
    return RenderSupersampled(
        size,
        [&](QPainter& p) {
            const QRectF rect(0.5, 0.5, size.width() - 1, size.height() - 1);
            QRadialGradient body(rect.center() - QPointF(rect.width() * 0.2, rect.height() * 0.2),
                                 rect.width() * 0.8);
            body.setColorAt(0, top);
            body.setColorAt(1, bottom);
            p.setPen(QPen(kDarkGold, size.width() / 16.0));
            p.setBrush(body);
            p.drawEllipse(rect.adjusted(0.5, 0.5, -0.5, -0.5));
            DrawFittedText(p, text,
                           rect.adjusted(rect.width() * 0.22, rect.height() * 0.22,
                                         -rect.width() * 0.22, -rect.height() * 0.22),
                           ink);
        },
        background);
}

QImage DealerMark() {
    return RoundBadge({32, 32}, "庄", QColor(255, 110, 80), QColor(170, 20, 10), kGold,
                      Qt::transparent);
}

QImage ReadyHandMark() {
    return RenderSupersampled(
        {20, 20},
        [](QPainter& p) {
            DrawBevelPanel(p, QRectF(0, 0, 20, 20), QColor(255, 226, 120), QColor(230, 130, 20), 4);
            DrawFittedText(p, "听", QRectF(3, 3, 14, 14), QColor(140, 20, 10));
        },
        kTableBlue);
}

QImage OfflineMark() {
    return RenderSupersampled(
        {32, 32},
        [](QPainter& p) {
            p.setPen(QPen(QColor(90, 90, 90), 1.5));
            p.setBrush(QColor(235, 235, 235));
            p.drawEllipse(QRectF(1, 1, 30, 30));
            // A plug pulled from its socket, with a red slash.
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(70, 70, 80));
            p.drawRoundedRect(QRectF(7, 12, 8, 8), 2, 2);
            p.drawRect(QRectF(3, 14, 4, 1.6));
            p.drawRect(QRectF(3, 17, 4, 1.6));
            p.drawRoundedRect(QRectF(18, 11, 8, 10), 2, 2);
            p.drawRect(QRectF(26, 15, 4, 2));
            p.setPen(QPen(QColor(210, 30, 30), 3, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(8, 26), QPointF(24, 6));
        },
        Qt::transparent);
}

QImage RaisedHandMark() {
    return RenderSupersampled(
        {32, 32},
        [](QPainter& p) {
            p.setPen(QPen(QColor(20, 110, 40), 1.5));
            p.setBrush(QColor(120, 220, 120));
            p.drawEllipse(QRectF(1, 1, 30, 30));
            const QColor skin(255, 214, 170);
            p.setPen(QPen(QColor(150, 90, 50), 0.9));
            p.setBrush(skin);
            for (int i = 0; i < 4; ++i)
                p.drawRoundedRect(QRectF(9.2 + 3.6 * i, 6 + (i == 0 || i == 3 ? 2 : 0), 3.4, 12),
                                  1.7, 1.7);
            p.save();
            p.translate(9, 19);
            p.rotate(-40);
            p.drawRoundedRect(QRectF(-1.8, -8, 3.6, 9), 1.8, 1.8);
            p.restore();
            p.drawRoundedRect(QRectF(9, 14, 14.4, 12), 4, 4);
        },
        Qt::transparent);
}

// Pips of a die face by value, on a 3 x 3 grid (0-8).
std::vector<int> PipCells(int value) {
    switch (value) {
        case 1:
            return {4};
        case 2:
            return {0, 8};
        case 3:
            return {0, 4, 8};
        case 4:
            return {0, 2, 6, 8};
        case 5:
            return {0, 2, 4, 6, 8};
        default:
            return {0, 2, 3, 5, 6, 8};
    }
}

void DrawDieFace(QPainter& p, const QRectF& rect, int value) {
    p.setPen(QPen(QColor(120, 110, 100), 1));
    QLinearGradient body(rect.topLeft(), rect.bottomRight());
    body.setColorAt(0, Qt::white);
    body.setColorAt(1, QColor(220, 214, 200));
    p.setBrush(body);
    p.drawRoundedRect(rect, rect.width() * 0.2, rect.width() * 0.2);
    const bool red = value == 1 || value == 4;
    p.setPen(Qt::NoPen);
    p.setBrush(red ? QColor(210, 20, 20) : QColor(20, 20, 30));
    const qreal step = rect.width() / 3.6;
    const qreal radius = value == 1 ? rect.width() * 0.16 : rect.width() * 0.09;
    for (const int cell : PipCells(value)) {
        const QPointF centre(rect.center().x() + (cell % 3 - 1) * step,
                             rect.center().y() + (cell / 3 - 1) * step);
        p.drawEllipse(centre, radius, radius);
    }
}

QImage DieFace(int value) {
    return RenderSupersampled({32, 32},
                              [&](QPainter& p) { DrawDieFace(p, QRectF(2, 2, 28, 28), value); });
}

QImage TumblingDie(int frame) {
    return RenderSupersampled({32, 32}, [&](QPainter& p) {
        // Motion streaks behind a die caught mid-turn.
        p.setPen(QPen(QColor(255, 255, 255, 110), 1.2, Qt::SolidLine, Qt::RoundCap));
        for (int i = 0; i < 3; ++i) {
            const qreal y = 10 + 6 * i;
            p.drawLine(QPointF(1, y), QPointF(8, y + 1));
        }
        p.translate(17, 16);
        p.rotate(22.5 * frame);
        DrawDieFace(p, QRectF(-11, -11, 22, 22), (frame * 2) % 6 + 1);
    });
}

// Side-bet flags: none, the first bet, the second, both.
const std::array<QString, 4> kBetTexts = {"不挂", "挂档", "漂", "挂漂"};
const std::array<QColor, 4> kBetColours = {QColor(150, 150, 150), QColor(214, 40, 30),
                                           QColor(20, 150, 70), QColor(230, 160, 20)};

QImage BetFlag(int choice, Qt::Orientation orientation) {
    const bool horizontal = orientation == Qt::Horizontal;
    const QSize size = horizontal ? QSize(56, 34) : QSize(34, 56);
    const QColor colour = kBetColours[static_cast<size_t>(choice)];
    const QString text = kBetTexts[static_cast<size_t>(choice)];
    return RenderSupersampled(
        size,
        [&](QPainter& p) {
            // A pole and a swallow-tailed pennant.
            p.setPen(QPen(QColor(90, 60, 30), 2));
            if (horizontal) {
                p.drawLine(QPointF(4, 2), QPointF(4, 32));
                QPainterPath flag;
                flag.moveTo(5, 4);
                flag.lineTo(54, 4);
                flag.lineTo(46, 15);
                flag.lineTo(54, 26);
                flag.lineTo(5, 26);
                flag.closeSubpath();
                p.setPen(QPen(colour.darker(160), 1));
                p.setBrush(colour);
                p.drawPath(flag);
                DrawFittedText(p, text, QRectF(9, 7, 34, 16), Qt::white);
            } else {
                p.drawLine(QPointF(2, 4), QPointF(32, 4));
                QPainterPath flag;
                flag.moveTo(4, 5);
                flag.lineTo(4, 54);
                flag.lineTo(15, 46);
                flag.lineTo(26, 54);
                flag.lineTo(26, 5);
                flag.closeSubpath();
                p.setPen(QPen(colour.darker(160), 1));
                p.setBrush(colour);
                p.drawPath(flag);
                const QString vertical =
                    text.size() == 2 ? text.left(1) + "\n" + text.mid(1) : text;
                if (text.size() == 2) {
                    DrawFittedText(p, text.left(1), QRectF(7, 8, 16, 15), Qt::white);
                    DrawFittedText(p, text.mid(1), QRectF(7, 25, 16, 15), Qt::white);
                } else {
                    DrawFittedText(p, text, QRectF(7, 12, 16, 20), Qt::white);
                }
            }
        },
        kTableBlue);
}

QImage BetFlagSheet(Qt::Orientation orientation) {
    const bool horizontal = orientation == Qt::Horizontal;
    QImage sheet = Blank(horizontal ? QSize(224, 34) : QSize(34, 224), kTableBlue);
    for (int choice = 0; choice < 4; ++choice)
        Paste(sheet, BetFlag(choice, orientation),
              horizontal ? QPoint(56 * choice, 0) : QPoint(0, 56 * choice));
    return sheet;
}

// Meld source arrows: four 9 x 9 cells pointing up, left, down, right, with
// masks below them (black where the arrow is).
QImage ArrowSheet() {
    QImage sheet = Blank({36, 18}, Qt::black);
    for (int position = 0; position < 4; ++position) {
        QPolygonF arrow;
        arrow << QPointF(4.5, 0.5) << QPointF(8.5, 5) << QPointF(6, 5) << QPointF(6, 8.5)
              << QPointF(3, 8.5) << QPointF(3, 5) << QPointF(0.5, 5);
        QTransform turn;
        turn.translate(4.5, 4.5);
        turn.rotate(-90.0 * position);
        turn.translate(-4.5, -4.5);
        const QPolygonF shape = turn.map(arrow);
        QImage cell = Blank({9, 9}, Qt::black);
        QImage mask = Blank({9, 9}, Qt::white);
        {
            QPainter p(&cell);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(255, 220, 60));
            p.drawPolygon(shape);
            QPainter m(&mask);
            m.setPen(Qt::NoPen);
            m.setBrush(Qt::black);
            m.drawPolygon(shape);
        }
        Paste(sheet, cell, {9 * position, 0});
        Paste(sheet, mask, {9 * position, 9});
    }
    return sheet;
}

QImage WildPanel() {
    return RenderSupersampled(
        {100, 57},
        [](QPainter& p) {
            DrawBevelPanel(p, QRectF(0, 0, 100, 57), QColor(120, 70, 30), QColor(60, 30, 10), 8);
            p.setPen(QPen(kGold, 1.2));
            p.setBrush(Qt::NoBrush);
            p.drawRoundedRect(QRectF(3, 3, 94, 51), 6, 6);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(200, 30, 20));
            p.drawEllipse(QPointF(32, 28.5), 19, 19);
            DrawFittedText(p, "混", QRectF(19, 15.5, 26, 26), kGold);
            // The slot the wild tile's face is drawn into, at (66, 11), 22 x 35.
            p.setBrush(QColor(30, 16, 4));
            p.setPen(QPen(kGold, 1.5));
            p.drawRoundedRect(QRectF(63.5, 8.5, 27, 40), 3, 3);
        },
        kTableBlue);
}

// --- discard animation --------------------------------------------------

// The frame doubles as the mask: the AND-then-OR drawing keeps its colours
// exactly wherever the composed picture is the frame itself, so the interior
// is black, where the tile and label pass through unchanged.
QImage AnimationFrame(int position) {
    const bool horizontal = position == 0 || position == 2;
    const QSize size = horizontal ? QSize(100, 62) : QSize(112, 50);
    return RenderSupersampled(
        size,
        [&](QPainter& p) {
            const QRectF outer(0, 0, size.width(), size.height());
            QLinearGradient rim(outer.topLeft(), outer.bottomRight());
            rim.setColorAt(0, kGold.lighter(115));
            rim.setColorAt(0.5, kDarkGold);
            rim.setColorAt(1, kGold);
            p.setPen(Qt::NoPen);
            p.setBrush(rim);
            p.drawRect(outer);
            p.setBrush(QColor(60, 30, 4));
            p.drawRect(outer.adjusted(2.5, 2.5, -2.5, -2.5));
            p.setBrush(Qt::black);
            p.drawRect(outer.adjusted(3.5, 3.5, -3.5, -3.5));
            // A small notch on the side of the player who acted, pointing at them.
            QPolygonF notch;
            const QPointF c = outer.center();
            const qreal right = outer.right();
            const qreal bottom = outer.bottom();
            switch (position) {
                case 0:
                    notch << QPointF(c.x() - 6, 9) << QPointF(c.x() + 6, 9) << QPointF(c.x(), 3.5);
                    break;
                case 1:
                    notch << QPointF(9, c.y() - 6) << QPointF(9, c.y() + 6) << QPointF(3.5, c.y());
                    break;
                case 2:
                    notch << QPointF(c.x() - 6, bottom - 9) << QPointF(c.x() + 6, bottom - 9)
                          << QPointF(c.x(), bottom - 3.5);
                    break;
                default:
                    notch << QPointF(right - 9, c.y() - 6) << QPointF(right - 9, c.y() + 6)
                          << QPointF(right - 3.5, c.y());
                    break;
            }
            p.setBrush(kGold);
            p.drawPolygon(notch);
        },
        Qt::black);
}

// Labels for the animation: pung, chow, kong, each 37 x 37 on black.
QImage ClaimLabels() {
    const std::array<QString, 3> texts = {"碰", "吃", "杠"};
    const std::array<QColor, 3> colours = {QColor(30, 140, 220), QColor(40, 170, 60),
                                           QColor(220, 40, 30)};
    QImage sheet = Blank({111, 37}, Qt::black);
    for (int i = 0; i < 3; ++i)
        Paste(sheet,
              RoundBadge({37, 37}, texts[static_cast<size_t>(i)],
                         colours[static_cast<size_t>(i)].lighter(140),
                         colours[static_cast<size_t>(i)].darker(130), Qt::white, Qt::black),
              {37 * i, 0});
    return sheet;
}

// --- skin ---------------------------------------------------------------

const QColor kCaptionTop(70, 130, 210);
const QColor kCaptionBottom(24, 64, 140);

void FillCaption(QPainter& p, QRectF rect) {
    QLinearGradient g(rect.topLeft(), rect.bottomLeft());
    g.setColorAt(0, kCaptionTop);
    g.setColorAt(0.45, QColor(40, 96, 180));
    g.setColorAt(1, kCaptionBottom);
    p.fillRect(rect, g);
    p.fillRect(QRectF(rect.left(), 0, rect.width(), 1), kCaptionTop.lighter(150));
    p.fillRect(QRectF(rect.left(), rect.bottom() - 1, rect.width(), 1), QColor(12, 32, 80));
}

QImage CaptionMiddle() {
    QImage image = Blank({8, 76}, kCaptionBottom);
    QPainter p(&image);
    FillCaption(p, QRectF(0, 0, 8, 76));
    return image;
}

QImage CaptionEnd() {
    // The left end; the right end is drawn mirrored.
    return RenderSupersampled(
        {15, 76},
        [](QPainter& p) {
            QPainterPath body;
            body.addRoundedRect(QRectF(0, 0, 30, 76), 8, 8);
            p.setClipPath(body);
            FillCaption(p, QRectF(0, 0, 15, 76));
            p.setClipping(false);
            p.setPen(QPen(kGold, 1));
            p.drawLine(QPointF(4, 38), QPointF(11, 38));
            p.setBrush(kGold);
            p.drawEllipse(QPointF(7.5, 38), 2, 2);
        },
        QColor(250, 250, 250));
}

QImage SystemButtons() {
    QImage sheet = Blank({168, 21}, kCaptionBottom);
    for (int hover = 0; hover < 2; ++hover) {
        for (int icon = 0; icon < 4; ++icon) {
            const QImage cell = RenderSupersampled({21, 21}, [&](QPainter& p) {
                const bool close = icon == 3;
                QColor top = close ? QColor(230, 110, 90) : QColor(120, 170, 235);
                QColor bottom = close ? QColor(170, 30, 20) : QColor(40, 90, 170);
                if (hover == 1) {
                    top = top.lighter(125);
                    bottom = bottom.lighter(140);
                }
                DrawBevelPanel(p, QRectF(0, 0, 21, 21), top, bottom, 4);
                p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
                p.setBrush(Qt::NoBrush);
                switch (icon) {
                    case 0:
                        p.drawLine(QPointF(6, 14.5), QPointF(15, 14.5));
                        break;
                    case 1:
                        p.drawRect(QRectF(6, 6, 9, 9));
                        break;
                    case 2:
                        p.setPen(QPen(Qt::white, 1.5));
                        p.drawRect(QRectF(8.5, 5.5, 7, 7));
                        p.setBrush(bottom);
                        p.drawRect(QRectF(5.5, 8.5, 7, 7));
                        break;
                    default:
                        p.drawLine(QPointF(6.5, 6.5), QPointF(14.5, 14.5));
                        p.drawLine(QPointF(14.5, 6.5), QPointF(6.5, 14.5));
                        break;
                }
            });
            Paste(sheet, cell, {84 * hover + 21 * icon, 0});
        }
    }
    return sheet;
}

QImage UserButtons() {
    const std::array<QString, 2> labels = {"设置", "帮助"};
    QImage sheet = Blank({164, 25}, kCaptionBottom);
    for (int hover = 0; hover < 2; ++hover) {
        for (int i = 0; i < 2; ++i) {
            const QImage cell = RenderSupersampled({41, 25}, [&](QPainter& p) {
                DrawBevelPanel(p, QRectF(0, 0, 41, 25),
                               hover ? QColor(255, 236, 160) : QColor(250, 214, 120),
                               hover ? QColor(236, 150, 40) : QColor(200, 120, 30), 6);
                DrawFittedText(p, labels[static_cast<size_t>(i)], QRectF(7, 5, 27, 15),
                               QColor(90, 40, 0));
            });
            Paste(sheet, cell, {82 * hover + 41 * i, 0});
        }
    }
    return sheet;
}

const QColor kSplitterLight(190, 204, 226);
const QColor kSplitterDark(110, 130, 170);

void FillSplitter(QPainter& p, QRectF rect) {
    QLinearGradient g(rect.topLeft(), rect.topRight());
    g.setColorAt(0, kSplitterLight);
    g.setColorAt(0.5, QColor(220, 228, 242));
    g.setColorAt(1, kSplitterDark);
    p.fillRect(rect, g);
}

QImage SplitterBar() {
    QImage image = Blank({12, 16}, kSplitterLight);
    QPainter p(&image);
    FillSplitter(p, QRectF(0, 0, 12, 16));
    return image;
}

QImage SplitterGrip() {
    return RenderSupersampled({12, 60}, [](QPainter& p) {
        FillSplitter(p, QRectF(0, 0, 12, 60));
        DrawBevelPanel(p, QRectF(1, 0, 10, 60), QColor(120, 170, 235), QColor(40, 90, 170), 3);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 160));
        for (const qreal y : {8.0, 14.0, 46.0, 52.0}) p.drawEllipse(QPointF(6, y), 1.3, 1.3);
    });
}

QImage SplitterArrow(bool pointsLeft) {
    return RenderSupersampled({12, 8}, [&](QPainter& p) {
        QLinearGradient g(0, 0, 12, 0);
        g.setColorAt(0, QColor(86, 134, 206));
        g.setColorAt(1, QColor(70, 118, 196));
        p.fillRect(QRectF(0, 0, 12, 8), g);
        QPolygonF arrow;
        if (pointsLeft)
            arrow << QPointF(3, 4) << QPointF(8.5, 0.5) << QPointF(8.5, 7.5);
        else
            arrow << QPointF(9, 4) << QPointF(3.5, 0.5) << QPointF(3.5, 7.5);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawPolygon(arrow);
    });
}

// --- icons --------------------------------------------------------------

QImage MessageIcon(int type) {
    return RenderSupersampled({32, 32}, [&](QPainter& p) {
        const std::array<QColor, 3> colours = {QColor(40, 120, 220), QColor(240, 170, 20),
                                               QColor(30, 150, 90)};
        const std::array<QString, 3> marks = {"i", "!", "?"};
        const QColor colour = colours[static_cast<size_t>(type)];
        QRadialGradient body(QPointF(12, 11), 20);
        body.setColorAt(0, colour.lighter(150));
        body.setColorAt(1, colour.darker(120));
        p.setPen(QPen(colour.darker(170), 1));
        p.setBrush(body);
        if (type == 1) {
            QPolygonF triangle;
            triangle << QPointF(16, 2) << QPointF(30.5, 29) << QPointF(1.5, 29);
            p.drawPolygon(triangle);
            DrawFittedText(p, marks[1], QRectF(12, 10, 8, 16), QColor(60, 30, 0));
        } else {
            p.drawEllipse(QRectF(1.5, 1.5, 29, 29));
            DrawFittedText(p, marks[static_cast<size_t>(type)], QRectF(10, 7, 12, 18), Qt::white);
        }
    });
}

// A little cartoon portrait; `index` picks background, skin, hair and clothes.
QImage Portrait(int index) {
    const std::array<QColor, 8> backgrounds = {
        QColor(120, 180, 230), QColor(240, 190, 120), QColor(160, 210, 150), QColor(220, 150, 190),
        QColor(190, 170, 230), QColor(240, 220, 130), QColor(140, 200, 200), QColor(230, 140, 120)};
    const std::array<QColor, 4> skins = {QColor(255, 222, 190), QColor(240, 200, 160),
                                         QColor(220, 176, 136), QColor(250, 210, 180)};
    const std::array<QColor, 5> hairs = {QColor(30, 24, 20), QColor(90, 56, 30), QColor(60, 40, 30),
                                         QColor(150, 90, 40), QColor(40, 40, 60)};
    const std::array<QColor, 6> clothes = {QColor(200, 40, 40),  QColor(40, 90, 190),
                                           QColor(40, 140, 70),  QColor(230, 150, 30),
                                           QColor(110, 60, 160), QColor(60, 60, 70)};
    const auto pick = [](const auto& palette, int value) {
        return palette[static_cast<size_t>(value) % palette.size()];
    };
    const QColor background = pick(backgrounds, index);
    const QColor skin = pick(skins, index / 8);
    const QColor hair = pick(hairs, index / 3);
    const QColor cloth = pick(clothes, index / 5);
    const int style = (index / 7) % 4;
    const bool smiling = (index / 2) % 2 == 0;

    QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(background.darker(150), 1));
    p.setBrush(background);
    p.drawRoundedRect(QRectF(0.5, 0.5, 31, 31), 5, 5);
    p.setClipRect(QRectF(1, 1, 30, 30));
    p.setPen(Qt::NoPen);
    if (style == 1) {  // long hair behind the face
        p.setBrush(hair);
        p.drawRoundedRect(QRectF(7, 7, 18, 20), 7, 7);
    }
    p.setBrush(cloth);
    p.drawEllipse(QRectF(5, 24, 22, 16));
    p.setBrush(skin);
    p.drawRect(QRectF(13.5, 20, 5, 6));
    p.drawEllipse(QRectF(9, 8, 14, 15));
    p.setBrush(hair);
    switch (style) {
        case 0:
            p.drawChord(QRectF(8.5, 6.5, 15, 12), 0, 180 * 16);
            break;
        case 1:
            p.drawChord(QRectF(8, 6, 16, 11), 0, 180 * 16);
            break;
        case 2:
            p.drawChord(QRectF(8.5, 7, 15, 10), 0, 180 * 16);
            p.drawEllipse(QRectF(12.5, 2.5, 7, 6));
            break;
        default:
            p.setBrush(cloth.darker(130));
            p.drawChord(QRectF(8, 5.5, 16, 12), 0, 180 * 16);
            p.drawRect(QRectF(6, 10.5, 13, 2));
            break;
    }
    p.setBrush(QColor(30, 30, 30));
    p.drawEllipse(QPointF(13.3, 15), 1.1, 1.3);
    p.drawEllipse(QPointF(18.7, 15), 1.1, 1.3);
    p.setPen(QPen(QColor(160, 60, 50), 1));
    p.setBrush(Qt::NoBrush);
    if (smiling)
        p.drawArc(QRectF(13, 15.5, 6, 4), 200 * 16, 140 * 16);
    else
        p.drawLine(QPointF(14, 19), QPointF(18, 19));
    return image;
}

}  // namespace

void GenerateTableArt(ArtWriter& writer) {
    writer.SaveGameBitmap("Res/GameBackMid.bmp", CentrePicture());
    writer.SaveGameBitmap("Res/GameBackVsBian.bmp", VerticalEdge());
    writer.SaveGameBitmap("Res/GameBackHsBian.bmp", HorizontalEdge());
    writer.SaveGameBitmap("Res/GameBackJiao.bmp", Corner());
    writer.SaveGameBitmap("Res/Arrow.bmp", ArrowSheet());
    writer.SaveGameBitmap("Res/But.bmp", ActionButtons());
    writer.SaveGameBitmap("Res/GameBut.bmp", CentreButtons());
    writer.SaveGameBitmap("Res/Start.bmp", StartButtons());
    writer.SaveGameBitmap("Res/HunQiang.bmp", WildPanel());
    writer.SaveGameBitmap("Res/UserPgFlagS.bmp", BetFlagSheet(Qt::Horizontal));
    writer.SaveGameBitmap("Res/UserPgFlagC.bmp", BetFlagSheet(Qt::Vertical));
    for (int position = 0; position < 4; ++position)
        writer.SaveGameBitmap(QStringLiteral("Res/OutPaiBk_%1.bmp").arg(position),
                              AnimationFrame(position));
    writer.SaveGameBitmap("Res/cpgt.bmp", ClaimLabels());
    writer.SaveGameIcon("Res/NetBreak.ico", OfflineMark());
    writer.SaveGameIcon("Res/HandUp.ico", RaisedHandMark());

    writer.SaveSharedIcon("ResMj/Other/Zhuang.ico", DealerMark());
    writer.SaveSharedBitmap("ResMj/Other/UD_Ting.bmp", ReadyHandMark());
    writer.SaveSharedBitmap("ResMj/Other/LR_Ting.bmp", ReadyHandMark());
    for (int value = 1; value <= 6; ++value)
        writer.SaveSharedIcon(QStringLiteral("ResMj/Other/sz%1.ico").arg(value), DieFace(value));
    for (int frame = 1; frame <= 4; ++frame)
        writer.SaveSharedIcon(QStringLiteral("ResMj/Other/dsz%1.ico").arg(frame),
                              TumblingDie(frame));
}

void GenerateSkinArt(ArtWriter& writer) {
    writer.SaveGameBitmap("Res/CaptionMid.bmp", CaptionMiddle());
    writer.SaveGameBitmap("Res/CaptionLR.bmp", CaptionEnd());
    writer.SaveGameBitmap("Res/SysMenu.bmp", SystemButtons());
    writer.SaveGameBitmap("Res/UserButton.bmp", UserButtons());
    writer.SaveGameBitmap("Res/VSpliterBk.bmp", SplitterBar());
    writer.SaveGameBitmap("Res/VSpliterMidBk.bmp", SplitterGrip());
    writer.SaveGameBitmap("Res/VSpliterMid_Left.bmp", SplitterArrow(true));
    writer.SaveGameBitmap("Res/VSpliterMid_Right.bmp", SplitterArrow(false));
}

void GenerateIconArt(ArtWriter& writer, int portraitCount) {
    for (int type = 0; type < 3; ++type)
        writer.SaveSharedIcon(QStringLiteral("res/Msg%1.ico").arg(type), MessageIcon(type));
    // A few hundred distinct faces; the rest of the 1000 names reuse them.
    for (int n = 1; n <= 1000; ++n) {
        const QString name = QStringLiteral("UserRes/LargeUser/%1.ico").arg(n);
        if (n <= portraitCount)
            writer.SaveSharedIcon(name, Portrait(n - 1));
        else
            writer.CopySharedFile(
                QStringLiteral("UserRes/LargeUser/%1.ico").arg((n - 1) % portraitCount + 1), name);
    }
}

}  // namespace qira::artgen
