#include "tile_art.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>
#include <array>

namespace qira::artgen {
namespace {

// A face is designed on a unit of 100 x 130 and mapped onto the tile's face,
// stretched where the view foreshortens it.
constexpr qreal kUnitWidth = 100;
constexpr qreal kUnitHeight = 130;

const QColor kOutline(46, 50, 54);
const QColor kIvoryTop(255, 254, 247);
const QColor kIvoryBottom(234, 230, 214);
const QColor kFaceLayerEdge(214, 209, 190);
const QColor kBackTop(44, 160, 104);
const QColor kBackBottom(22, 112, 70);
const QColor kBackEdge(17, 92, 57);
const QColor kInk(22, 30, 62);
const QColor kRed(196, 24, 24);
const QColor kGreen(14, 128, 58);
const QColor kBlue(28, 70, 176);

const std::array<QString, 9> kNumerals = {"一", "二", "三", "四", "五", "六", "七", "八", "九"};
const std::array<QString, 4> kWinds = {"東", "南", "西", "北"};

void DrawDot(QPainter& p, QPointF centre, qreal radius, QColor colour) {
    p.setPen(Qt::NoPen);
    p.setBrush(colour.darker(140));
    p.drawEllipse(centre, radius, radius);
    p.setBrush(colour);
    p.drawEllipse(centre, radius * 0.9, radius * 0.9);
    p.setBrush(QColor(250, 248, 240));
    p.drawEllipse(centre, radius * 0.62, radius * 0.62);
    p.setBrush(colour);
    p.drawEllipse(centre, radius * 0.42, radius * 0.42);
    p.setBrush(QColor(250, 248, 240));
    p.drawEllipse(centre, radius * 0.14, radius * 0.14);
}

void DrawBigDot(QPainter& p) {
    const QPointF centre(50, 65);
    p.setPen(Qt::NoPen);
    p.setBrush(kGreen.darker(130));
    p.drawEllipse(centre, 42, 42);
    p.setBrush(kGreen);
    p.drawEllipse(centre, 39, 39);
    p.setBrush(QColor(250, 248, 240));
    p.drawEllipse(centre, 31, 31);
    p.setBrush(kBlue);
    p.drawEllipse(centre, 26, 26);
    p.setBrush(QColor(250, 248, 240));
    p.drawEllipse(centre, 17, 17);
    p.setBrush(kRed);
    p.drawEllipse(centre, 12, 12);
    p.setBrush(QColor(250, 248, 240));
    for (int i = 0; i < 8; ++i) {
        QTransform t;
        t.translate(centre.x(), centre.y());
        t.rotate(45.0 * i);
        p.drawEllipse(t.map(QPointF(0, -35)), 2.6, 2.6);
    }
    p.drawEllipse(centre, 4, 4);
}

void DrawDots(QPainter& p, int rank) {
    struct Dot {
        qreal x, y;
        QColor colour;
    };
    auto draw = [&p](std::initializer_list<Dot> dots, qreal radius) {
        for (const Dot& d : dots) DrawDot(p, {d.x, d.y}, radius, d.colour);
    };
    switch (rank) {
        case 1:
            DrawBigDot(p);
            break;
        case 2:
            draw({{50, 34, kGreen}, {50, 96, kBlue}}, 24);
            break;
        case 3:
            draw({{24, 26, kBlue}, {50, 65, kRed}, {76, 104, kGreen}}, 19);
            break;
        case 4:
            draw({{28, 36, kBlue}, {72, 36, kGreen}, {28, 94, kGreen}, {72, 94, kBlue}}, 20);
            break;
        case 5:
            draw({{25, 28, kBlue},
                  {75, 28, kGreen},
                  {50, 65, kRed},
                  {25, 102, kGreen},
                  {75, 102, kBlue}},
                 18);
            break;
        case 6:
            draw({{29, 24, kGreen},
                  {71, 24, kGreen},
                  {29, 66, kRed},
                  {71, 66, kRed},
                  {29, 106, kRed},
                  {71, 106, kRed}},
                 17);
            break;
        case 7:
            draw({{22, 18, kGreen}, {50, 33, kGreen}, {78, 48, kGreen}}, 12.5);
            draw({{30, 78, kRed}, {70, 78, kRed}, {30, 110, kRed}, {70, 110, kRed}}, 15);
            break;
        case 8:
            draw({{29, 18, kBlue},
                  {71, 18, kBlue},
                  {29, 50, kBlue},
                  {71, 50, kBlue},
                  {29, 82, kBlue},
                  {71, 82, kBlue},
                  {29, 113, kBlue},
                  {71, 113, kBlue}},
                 14.5);
            break;
        default:
            draw({{19, 25, kBlue},
                  {50, 25, kBlue},
                  {81, 25, kBlue},
                  {19, 65, kRed},
                  {50, 65, kRed},
                  {81, 65, kRed},
                  {19, 105, kGreen},
                  {50, 105, kGreen},
                  {81, 105, kGreen}},
                 14.5);
            break;
    }
}

// One bamboo stick centred on `centre`, turned by `angle` degrees.
void DrawStick(QPainter& p, QPointF centre, qreal length, qreal width, QColor colour,
               qreal angle = 0) {
    p.save();
    p.translate(centre);
    p.rotate(angle);
    const QRectF body(-width / 2, -length / 2, width, length);
    p.setPen(QPen(colour.darker(160), 1.6));
    QLinearGradient shade(body.topLeft(), body.topRight());
    shade.setColorAt(0, colour.lighter(135));
    shade.setColorAt(0.5, colour);
    shade.setColorAt(1, colour.darker(130));
    p.setBrush(shade);
    p.drawRoundedRect(body, width / 2.2, width / 2.2);
    // Nodes: a light band across the middle and near each end.
    p.setPen(QPen(QColor(250, 248, 240), 2.2));
    for (const qreal y : {-length * 0.36, 0.0, length * 0.36})
        p.drawLine(QPointF(-width / 2 + 1.5, y), QPointF(width / 2 - 1.5, y));
    p.restore();
}

void DrawBird(QPainter& p) {
    p.setPen(QPen(kGreen.darker(170), 1.5));
    // Tail feathers fanning out to the lower left.
    for (int i = 0; i < 4; ++i) {
        p.save();
        p.translate(44, 78);
        p.rotate(120 + 18 * i);
        p.setBrush(i % 2 == 0 ? kBlue : kGreen);
        p.drawEllipse(QRectF(-7, 4, 14, 44));
        p.restore();
    }
    QPainterPath body;
    body.moveTo(30, 90);
    body.cubicTo(30, 50, 60, 40, 72, 48);
    body.cubicTo(82, 60, 76, 96, 52, 104);
    body.cubicTo(42, 106, 32, 100, 30, 90);
    p.setBrush(kGreen);
    p.drawPath(body);
    // Wing.
    QPainterPath wing;
    wing.moveTo(42, 82);
    wing.cubicTo(50, 62, 66, 64, 66, 76);
    wing.cubicTo(62, 88, 50, 92, 42, 82);
    p.setBrush(kBlue);
    p.drawPath(wing);
    // Head, crest, beak and eye.
    p.setBrush(kRed);
    p.drawEllipse(QPointF(72, 36), 13, 13);
    QPainterPath crest;
    crest.moveTo(66, 25);
    crest.lineTo(62, 10);
    crest.lineTo(72, 22);
    crest.lineTo(76, 8);
    crest.lineTo(79, 25);
    p.drawPath(crest);
    QPainterPath beak;
    beak.moveTo(83, 32);
    beak.lineTo(96, 38);
    beak.lineTo(83, 42);
    p.setBrush(QColor(236, 160, 20));
    p.drawPath(beak);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(75, 33), 3.5, 3.5);
    p.setBrush(Qt::black);
    p.drawEllipse(QPointF(76, 33), 1.8, 1.8);
    // Legs.
    p.setPen(QPen(kRed.darker(120), 3));
    p.drawLine(QPointF(52, 104), QPointF(48, 120));
    p.drawLine(QPointF(60, 100), QPointF(62, 120));
}

void DrawBamboo(QPainter& p, int rank) {
    const QColor green = kGreen;
    switch (rank) {
        case 1:
            DrawBird(p);
            break;
        case 2:
            DrawStick(p, {50, 35}, 54, 16, kBlue);
            DrawStick(p, {50, 96}, 54, 16, green);
            break;
        case 3:
            DrawStick(p, {50, 35}, 52, 15, green);
            DrawStick(p, {28, 96}, 52, 15, kBlue);
            DrawStick(p, {72, 96}, 52, 15, kBlue);
            break;
        case 4:
            for (const qreal x : {28.0, 72.0}) {
                DrawStick(p, {x, 35}, 52, 15, x < 50 ? kBlue : green);
                DrawStick(p, {x, 96}, 52, 15, x < 50 ? green : kBlue);
            }
            break;
        case 5:
            for (const qreal x : {22.0, 78.0}) {
                DrawStick(p, {x, 35}, 52, 14, green);
                DrawStick(p, {x, 96}, 52, 14, kBlue);
            }
            DrawStick(p, {50, 65}, 52, 14, kRed);
            break;
        case 6:
            for (const qreal x : {20.0, 50.0, 80.0}) {
                DrawStick(p, {x, 35}, 52, 14, green);
                DrawStick(p, {x, 96}, 52, 14, kBlue);
            }
            break;
        case 7:
            DrawStick(p, {50, 22}, 36, 13, kRed);
            for (const qreal x : {20.0, 50.0, 80.0}) {
                DrawStick(p, {x, 66}, 38, 13, green);
                DrawStick(p, {x, 108}, 38, 13, green);
            }
            break;
        case 8: {
            const std::array<qreal, 4> xs = {14, 38, 62, 86};
            const std::array<qreal, 4> top = {0, -22, 22, 0};
            for (int i = 0; i < 4; ++i) {
                DrawStick(p, {xs[static_cast<size_t>(i)], 35}, 52, 12, green,
                          top[static_cast<size_t>(i)]);
                DrawStick(p, {xs[static_cast<size_t>(i)], 96}, 52, 12, green,
                          -top[static_cast<size_t>(i)]);
            }
            break;
        }
        default:
            for (const qreal x : {20.0, 50.0, 80.0}) {
                const QColor colour = x == 50.0 ? kRed : (x < 50 ? green : kBlue);
                for (const qreal y : {24.0, 65.0, 106.0}) DrawStick(p, {x, y}, 36, 14, colour);
            }
            break;
    }
}

void DrawWhiteDragon(QPainter& p) {
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kBlue, 9, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.drawRect(QRectF(15, 15, 70, 100));
    p.setPen(QPen(kBlue, 3.5, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.drawRect(QRectF(28, 28, 44, 74));
}

// The face of one tile on the 100 x 130 unit.
void DrawFaceUnit(QPainter& p, int code) {
    if (code < 9) {
        DrawFittedText(p, kNumerals[static_cast<size_t>(code)], QRectF(14, 6, 72, 50), kInk);
        DrawStretchedText(p, "萬", QRectF(12, 62, 76, 62), kRed);
    } else if (code < 18) {
        DrawDots(p, code - 8);
    } else if (code < 27) {
        DrawBamboo(p, code - 17);
    } else if (code < 31) {
        DrawStretchedText(p, kWinds[static_cast<size_t>(code - 27)], QRectF(10, 12, 80, 106), kInk);
    } else if (code == 36) {
        DrawStretchedText(p, "中", QRectF(12, 12, 76, 106), kRed);
    } else if (code == 37) {
        DrawStretchedText(p, "發", QRectF(8, 12, 84, 106), kGreen);
    } else if (code == 38) {
        DrawWhiteDragon(p);
    }
}

// Maps the unit face onto `face`, turned as the tile lies.
void DrawFaceInto(QPainter& p, const QRectF& face, int code, FaceTurn turn) {
    p.save();
    p.translate(face.center());
    qreal width = face.width();
    qreal height = face.height();
    if (turn != FaceTurn::Upright) {
        p.rotate(turn == FaceTurn::TopToRight ? 90 : -90);
        std::swap(width, height);
    }
    p.scale(width / kUnitWidth, height / kUnitHeight);
    p.translate(-kUnitWidth / 2, -kUnitHeight / 2);
    DrawFaceUnit(p, code);
    p.restore();
}

constexpr qreal kRim = 0.8;
constexpr qreal kRadius = 2.2;

void DrawOutline(QPainter& p, QSize size) {
    p.setPen(Qt::NoPen);
    p.setBrush(kOutline);
    p.drawRoundedRect(QRectF(0, 0, size.width(), size.height()), kRadius, kRadius);
}

void FillGradient(QPainter& p, const QRectF& rect, QColor top, QColor bottom, qreal radius) {
    QLinearGradient gradient(rect.topLeft(), rect.bottomLeft());
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    p.setPen(Qt::NoPen);
    p.setBrush(gradient);
    p.drawRoundedRect(rect, radius, radius);
}

// The near edge of a lying tile: `upper` layer above `lower`.
void DrawNearEdge(QPainter& p, QSize size, int edge, QColor upper, QColor lower) {
    const qreal top = size.height() - edge;
    const QRectF whole(kRim, top - kRadius, size.width() - 2 * kRim, edge + kRadius - kRim);
    FillGradient(p, whole, lower.lighter(110), lower.darker(115), kRadius);
    const qreal split = top + edge * 0.45;
    FillGradient(p, QRectF(kRim, top - kRadius, size.width() - 2 * kRim, split - top + kRadius),
                 upper, upper.darker(108), kRadius * 0.6);
}

QRectF SurfaceRect(QSize size, int edge) {
    return QRectF(kRim, kRim, size.width() - 2 * kRim, size.height() - edge - kRim);
}

void DrawFaceSurface(QPainter& p, const QRectF& surface) {
    FillGradient(p, surface, kIvoryTop, kIvoryBottom, kRadius);
}

void DrawBackSurface(QPainter& p, const QRectF& surface) {
    FillGradient(p, surface, kBackTop, kBackBottom, kRadius);
    // A soft sheen, as on a polished back.
    QRadialGradient sheen(
        surface.topLeft() + QPointF(surface.width() * 0.3, surface.height() * 0.25),
        std::max(surface.width(), surface.height()) * 0.7);
    sheen.setColorAt(0, QColor(255, 255, 255, 70));
    sheen.setColorAt(1, QColor(255, 255, 255, 0));
    p.setBrush(sheen);
    p.drawRoundedRect(surface, kRadius, kRadius);
}

QRectF FaceContentRect(const QRectF& surface) {
    const qreal inset = std::max<qreal>(1.2, std::min(surface.width(), surface.height()) * 0.07);
    return surface.adjusted(inset, inset, -inset, -inset);
}

// Face-down, lying: the back on top, the face layer at the bottom of the edge.
QImage LyingBackTile(QSize size, int edge) {
    return RenderSupersampled(size, [&](QPainter& p) {
        DrawOutline(p, size);
        DrawNearEdge(p, size, edge, kBackEdge.lighter(115), kFaceLayerEdge);
        DrawBackSurface(p, SurfaceRect(size, edge));
    });
}

// Standing with the back towards the viewer: the top strip shows the face
// layer far and the back layer near.
QImage StandingBackTile(QSize size, int topStrip) {
    return RenderSupersampled(size, [&](QPainter& p) {
        DrawOutline(p, size);
        const qreal width = size.width() - 2 * kRim;
        FillGradient(p, QRectF(kRim, kRim, width, topStrip * 0.5), kIvoryTop, kFaceLayerEdge,
                     kRadius);
        FillGradient(p, QRectF(kRim, kRim + topStrip * 0.45, width, topStrip * 0.55 + 0.5),
                     kBackTop.lighter(125), kBackTop, 0.5);
        DrawBackSurface(p, QRectF(kRim, topStrip + 0.2, width, size.height() - topStrip - kRim));
    });
}

// A standing tile of a side seat, seen along the row: its top surface, then
// its near side; the face layer looks towards `faceSide`.
enum class FaceSide { Left, Right };

QImage SideStandingTile(QSize size, int topPart, FaceSide faceSide) {
    return RenderSupersampled(size, [&](QPainter& p) {
        DrawOutline(p, size);
        const qreal width = size.width() - 2 * kRim;
        const qreal faceWidth = width * 0.42;
        auto drawLayers = [&](qreal top, qreal height, qreal shade) {
            const QRectF face(faceSide == FaceSide::Left ? kRim : kRim + width - faceWidth, top,
                              faceWidth, height);
            const QRectF back(faceSide == FaceSide::Left ? kRim + faceWidth : kRim, top,
                              width - faceWidth, height);
            FillGradient(p, back, kBackTop.darker(shade), kBackBottom.darker(shade), kRadius * 0.5);
            FillGradient(p, face, kIvoryTop.darker(shade), kFaceLayerEdge.darker(shade),
                         kRadius * 0.5);
        };
        drawLayers(kRim, topPart - kRim, 100);
        drawLayers(topPart + 0.6, size.height() - topPart - 0.6 - kRim, 125);
    });
}

}  // namespace

bool IsTileCode(int code) {
    return (code >= 0 && code <= 30) || (code >= 36 && code <= 38);
}

QImage LyingFaceTile(QSize size, int edge, int tileCode, FaceTurn turn) {
    return RenderSupersampled(size, [&](QPainter& p) {
        DrawOutline(p, size);
        DrawNearEdge(p, size, edge, kFaceLayerEdge, kBackEdge);
        const QRectF surface = SurfaceRect(size, edge);
        DrawFaceSurface(p, surface);
        DrawFaceInto(p, FaceContentRect(surface), tileCode, turn);
    });
}

QImage StandingFaceTile(QSize size, int topStrip, int tileCode) {
    return RenderSupersampled(size, [&](QPainter& p) {
        DrawOutline(p, size);
        const qreal width = size.width() - 2 * kRim;
        FillGradient(p, QRectF(kRim, kRim, width, topStrip * 0.5), kBackTop.lighter(115), kBackTop,
                     kRadius);
        FillGradient(p, QRectF(kRim, kRim + topStrip * 0.45, width, topStrip * 0.55 + 0.5),
                     kIvoryBottom, kFaceLayerEdge, 0.5);
        const QRectF surface(kRim, topStrip + 0.2, width, size.height() - topStrip - kRim);
        DrawFaceSurface(p, surface);
        DrawFaceInto(p, FaceContentRect(surface), tileCode, FaceTurn::Upright);
    });
}

void GenerateTileArt(ArtWriter& writer) {
    struct FaceSet {
        const char* folder;
        const char* prefix;
        QSize size;
        int edge;
        FaceTurn turn;
        bool standing;
    };
    const std::array<FaceSet, 6> sets = {{
        {"UpOut", "plpUpOut", {22, 35}, 8, FaceTurn::Upright, false},
        {"LeftOut", "plpLeftOut", {31, 27}, 9, FaceTurn::TopToRight, false},
        {"RightOut", "plpRightOut", {31, 27}, 9, FaceTurn::TopToLeft, false},
        {"DownOut", "plpDownOut", {22, 35}, 8, FaceTurn::Upright, false},
        {"DownPeng", "plpDownPeng", {44, 66}, 12, FaceTurn::Upright, false},
        {"DownShou", "plpDownShou", {44, 70}, 7, FaceTurn::Upright, true},
    }};
    for (const FaceSet& set : sets) {
        for (int code = 0; code <= 38; ++code) {
            if (!IsTileCode(code)) continue;
            const QImage image = set.standing ? StandingFaceTile(set.size, set.edge, code)
                                              : LyingFaceTile(set.size, set.edge, code, set.turn);
            writer.SaveSharedBitmap(QStringLiteral("ResMj/%1/%2%3.bmp")
                                        .arg(QLatin1String(set.folder), QLatin1String(set.prefix))
                                        .arg(code),
                                    image);
        }
    }

    writer.SaveSharedBitmap("ResMj/PaiBack/Up_Shou.bmp", StandingBackTile({27, 43}, 7));
    writer.SaveSharedBitmap("ResMj/PaiBack/Down_shou_Back.bmp", StandingBackTile({44, 70}, 7));
    writer.SaveSharedBitmap("ResMj/PaiBack/Left_Shou.bmp",
                            SideStandingTile({20, 43}, 23, FaceSide::Left));
    writer.SaveSharedBitmap("ResMj/PaiBack/Right_Shou.bmp",
                            SideStandingTile({20, 43}, 23, FaceSide::Right));
    writer.SaveSharedBitmap("ResMj/PaiBack/Up_Liang_Back.bmp", LyingBackTile({22, 35}, 8));
    writer.SaveSharedBitmap("ResMj/PaiBack/Down_Liang_Back.bmp", LyingBackTile({44, 66}, 12));
    writer.SaveSharedBitmap("ResMj/PaiBack/Left_Liang_Back.bmp", LyingBackTile({31, 27}, 9));
    writer.SaveSharedBitmap("ResMj/PaiBack/Right_Liang_Back.bmp", LyingBackTile({31, 27}, 9));
    writer.SaveSharedBitmap("ResMj/PaiBack/Up_Wall.bmp", LyingBackTile({22, 33}, 7));
    writer.SaveSharedBitmap("ResMj/PaiBack/Down_Wall.bmp", LyingBackTile({22, 33}, 7));
    writer.SaveSharedBitmap("ResMj/PaiBack/Left_Wall.bmp", LyingBackTile({29, 22}, 7));
    writer.SaveSharedBitmap("ResMj/PaiBack/Right_Wall.bmp", LyingBackTile({29, 22}, 7));
}

QString HelpTileName(int code) {
    if (code < 27) return QString::number(code % 9 + 1) + QLatin1Char("mps"[code / 9]);
    return QString::number(code < 31 ? code - 26 : code - 31) + QLatin1Char('z');
}

void GenerateHelpTileArt(ArtWriter& writer) {
    const QSize size(72, 100);
    constexpr int kEdge = 12;
    for (int code = 0; code <= 38; ++code) {
        if (!IsTileCode(code)) continue;
        writer.SaveGamePng(QStringLiteral("Res/help/tiles/%1.png").arg(HelpTileName(code)),
                           LyingFaceTile(size, kEdge, code, FaceTurn::Upright));
    }
    writer.SaveGamePng("Res/help/tiles/back.png", LyingBackTile(size, kEdge));
}

}  // namespace qira::artgen
