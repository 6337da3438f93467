#include "ui/render/table_canvas.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <utility>

#include "render/resources.h"
#include "ui/platform/fonts.h"
#include "ui/platform/resource_pixmap.h"
#include "ui/platform/turn_clock_widget.h"

namespace qira::render {
namespace {

constexpr int kUp = 0;
constexpr int kLeft = 1;
constexpr int kDown = 2;
constexpr int kRight = 3;
constexpr std::uint8_t kSideBetPhase = 10;
constexpr int kRaiseHeight = 10;
constexpr int kHandTileWidth = 43;  // a tile of the local hand, 44 apart
const QColor kPanelGold(246, 204, 92);
constexpr Point kIndicatorFace{46, 71};

bool IsChair(int chair) {
    return chair >= 0 && chair < 4;
}

QPoint ToQt(Point p) {
    return {p.x, p.y};
}

constexpr std::array<std::string_view, 4> kWallFiles = {
    "ResMj\\PaiBack\\Up_Wall.bmp", "ResMj\\PaiBack\\Left_Wall.bmp", "ResMj\\PaiBack\\Down_Wall.bmp",
    "ResMj\\PaiBack\\Right_Wall.bmp"};

constexpr std::string_view kNetBreakPicture = "Res\\NetBreak.ico";
constexpr std::string_view kHandUpPicture = "Res\\HandUp.ico";

QFont NameFont() {
    QFont font;
    font.setFamilies(platform::CjkFamilies());
    font.setPixelSize(12);
    return font;
}

constexpr int kNameLineHeight = 12;
// The lit name plate of the chair whose turn it is: a warm plate with dark
// letters, plain to see against the blue table from across the room.
const QColor kLitPlateColour(255, 204, 51);
const QColor kLitNameColour(70, 35, 0);
const QColor kNameColour(255, 255, 255);
// The side seats' plates end above their ready-hand mark and side-bet flag.
constexpr int kSidePlateMaxHeight = 78;

}  // namespace

std::vector<QString> BreakSideName(const QString& name) {
    std::vector<QString> lines;
    QString line;
    int count = 0;
    for (const QChar c : name) {
        line += c;
        count += (c.unicode() & 0xFF00) != 0 ? 2 : 1;
        if (count >= 8) {
            lines.push_back(line);
            line.clear();
            count = 0;
        }
    }
    if (!line.isEmpty()) lines.push_back(line);
    return lines;
}

TableCanvas::TableCanvas() {
    layout_ = ComputeTableLayout(FitGameArea({}), {});
    NewPicture(layout_.area);
}

void TableCanvas::NewPicture(Size area) {
    canvas_ = QImage(qRound(area.width * pixelRatio_), qRound(area.height * pixelRatio_),
                     QImage::Format_RGB888);
    canvas_.setDevicePixelRatio(pixelRatio_);
    canvas_.fill(kTableBackColour);
}

bool TableCanvas::Resize(Size frameInner, Size windowInner) {
    const Size area = FitGameArea(frameInner);
    layout_ = ComputeTableLayout(area, windowInner);
    const QSizeF logical = canvas_.deviceIndependentSize();
    const bool sharper = canvas_.devicePixelRatio() != pixelRatio_;
    const bool shrank = area.width < previousArea_.width || area.height < previousArea_.height;
    const bool grew = area.width > logical.width() || area.height > logical.height();
    if (sharper || area.width != qRound(logical.width()) || area.height != qRound(logical.height()))
        NewPicture(area);
    previousArea_ = area;
    return shrank || grew || sharper;
}

bool TableCanvas::Ready() const {
    return sources_.table && sources_.globals && sources_.turn && sources_.offer;
}

int TableCanvas::SeatPosition(play::Chair chair) const {
    return sources_.globals->bytSeatPos[chair] & 3;
}

void TableCanvas::Changed() {
    ++paintCount_;
    if (changed_) changed_();
}

QImage TableCanvas::LoadPicture(ResourceRoot root, std::string_view path) const {
    if (!sources_.globals) return {};
    const std::string& folder =
        root == ResourceRoot::Game ? sources_.globals->strAppPath : sources_.globals->strParentPath;
    const auto file = FindResourceFile(folder, path);
    if (!file) return {};
    return platform::ReadPicture(QString::fromStdString(*file));
}

bool TableCanvas::DrawPicture(ResourceRoot root, std::string_view path, Point at) {
    const QImage picture = LoadPicture(root, path);
    if (picture.isNull()) return false;
    QPainter painter(&canvas_);
    if (!clip_.isNull()) painter.setClipRect(clip_);
    painter.drawImage(ToQt(at), picture);
    return true;
}

bool TableCanvas::DrawPictureCell(ResourceRoot root, std::string_view path, const QRect& source,
                                  Point at) {
    const QImage picture = LoadPicture(root, path);
    if (picture.isNull()) return false;
    QPainter painter(&canvas_);
    if (!clip_.isNull()) painter.setClipRect(clip_);
    painter.drawImage(ToQt(at), picture, source);
    return true;
}

bool TableCanvas::DrawMasked(ResourceRoot root, std::string_view path, const QRect& mask,
                             const QRect& image, Point at) {
    const QImage picture = LoadPicture(root, path);
    if (picture.isNull()) return false;
    const QImage sheet = picture.convertToFormat(QImage::Format_RGB32);
    QPainter painter(&canvas_);
    if (!clip_.isNull()) painter.setClipRect(clip_);
    painter.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
    painter.drawImage(ToQt(at), sheet, mask);
    painter.setCompositionMode(QPainter::RasterOp_SourceOrDestination);
    painter.drawImage(ToQt(at), sheet, image);
    return true;
}

// --- framework ------------------------------------------------------------

void TableCanvas::EraseRect(int x, int y, int width, int height) {
    QPainter painter(&canvas_);
    painter.fillRect(QRect(x, y, width + 1, height + 1), kTableBackColour);
}

void TableCanvas::RestoreCentre(int x, int y, int width, int height) {
    const Point origin = layout_.CentreOrigin();
    const QRect centre(origin.x, origin.y, lngCentreWidth, lngCentreHeight);
    const QRect overlap = centre.intersected(QRect(x, y, width, height));
    if (overlap.isEmpty()) return;
    const QImage picture = LoadPicture(ResourceRoot::Game, "Res\\GameBackMid.bmp");
    if (picture.isNull()) return;
    QPainter painter(&canvas_);
    painter.drawImage(overlap.topLeft(), picture, overlap.translated(-origin.x, -origin.y));
}

void TableCanvas::PaintTable() {
    if (fullRepaintRunning_) return;
    fullRepaintRunning_ = true;
    canvas_.fill(kTableBackColour);
    PaintBackground();
    blnPartialPaint_ = false;
    if (Ready() && !sources_.globals->strViewName.empty()) {
        for (play::Chair chair = 0; chair < 4; ++chair) {
            PaintSeatInfo(chair);
            PaintNetBreak(chair);
            PaintHandUp(chair);
            PaintTing(chair);
            PaintWall(chair);
            PaintHands(chair);
            PaintDiscards(chair, true);
            PaintBetFlag(chair);
        }
        PaintZhuang();
        PaintMoPai();
        PaintActionBar();
        ReplaceClock();
        if (newest_.visible) ShowNewestDiscard(newest_.chair, newest_.tile);
        if (!sources_.table->blnHandIdle) PaintWildPanel();
        for (int i = 0; i < 3; ++i) PaintGameButton(i);
        PaintStartButton();
    }
    blnPartialPaint_ = true;
    fullRepaintRunning_ = false;
    Changed();
}

void TableCanvas::PaintBackground() {
    const int W = layout_.area.width;
    const int H = layout_.area.height;
    QPainter painter(&canvas_);
    const QImage centre = LoadPicture(ResourceRoot::Game, "Res\\GameBackMid.bmp");
    if (!centre.isNull()) painter.drawImage(ToQt(layout_.CentreOrigin()), centre);
    const QImage vertical = LoadPicture(ResourceRoot::Game, "Res\\GameBackVsBian.bmp");
    if (!vertical.isNull()) {
        const QImage mirrored = vertical.mirrored(true, false);
        for (int y = 0; y < H; y += vertical.height()) {
            painter.drawImage(0, y, mirrored);
            painter.drawImage(W - vertical.width(), y, vertical);
        }
    }
    const QImage horizontal = LoadPicture(ResourceRoot::Game, "Res\\GameBackHsBian.bmp");
    if (!horizontal.isNull()) {
        const QImage mirrored = horizontal.mirrored(false, true);
        for (int x = 0; x < W; x += horizontal.width()) {
            painter.drawImage(x, 0, horizontal);
            painter.drawImage(x, H - horizontal.height(), mirrored);
        }
    }
    const QImage corner = LoadPicture(ResourceRoot::Game, "Res\\GameBackJiao.bmp");
    if (!corner.isNull()) {
        const int w = corner.width();
        const int h = corner.height();
        painter.drawImage(W - w, 0, corner);
        painter.drawImage(0, 0, corner.mirrored(true, false));
        painter.drawImage(W - w, H - h, corner.mirrored(false, true));
        painter.drawImage(0, H - h, corner.mirrored(true, true));
    }
}

// --- seats and marks --------------------------------------------------------

void TableCanvas::DrawName(int position, const QString& name, const QColor& colour) {
    QPainter painter(&canvas_);
    painter.setFont(NameFont());
    painter.setPen(colour);
    const Point at = layout_.ptUserName[static_cast<std::size_t>(position)];
    const int lineHeight = kNameLineHeight;
    if (position == kUp || position == kDown) {
        painter.drawText(QRect(at.x, at.y, 400, lineHeight + 4), Qt::AlignLeft | Qt::AlignTop,
                         name);
        return;
    }
    const auto lines = BreakSideName(name);
    for (std::size_t i = 0; i < lines.size(); ++i)
        painter.drawText(QRect(at.x, at.y + lineHeight * static_cast<int>(i), 100, lineHeight + 4),
                         Qt::AlignLeft | Qt::AlignTop, lines[i]);
}

void TableCanvas::PaintSeatInfo(play::Chair chair) {
    if (!Ready() || !IsChair(chair)) return;
    const int s = SeatPosition(chair);
    const auto& seat = sources_.table->Seats[chair];
    const Point pic = layout_.ptUserPic[static_cast<std::size_t>(s)];
    if (seat.strPlayerName.empty()) {
        if (!blnPartialPaint_) return;
        if (s == kLeft || s == kRight) {
            const Point name = layout_.ptUserName[static_cast<std::size_t>(s)];
            EraseRect(std::min(name.x, pic.x) - 1, pic.y - 1, 49, 90);
        } else {
            EraseRect(pic.x - 1, pic.y - 1, 150, 36);
        }
        Changed();
        return;
    }
    const bool lit = chair == litChair_;
    if (lit) {
        QPainter painter(&canvas_);
        painter.fillRect(NamePlateRect(chair), kLitPlateColour);
    }
    DrawPicture(ResourceRoot::Shared, PortraitPath(seat.lngPlayerKey), pic);
    DrawName(s, QString::fromStdString(seat.strPlayerName), lit ? kLitNameColour : kNameColour);
    Changed();
}

QRect TableCanvas::NamePlateRect(play::Chair chair) const {
    if (!Ready() || !IsChair(chair)) return {};
    const int s = SeatPosition(chair);
    const Point pic = layout_.ptUserPic[static_cast<std::size_t>(s)];
    const Point name = layout_.ptUserName[static_cast<std::size_t>(s)];
    const QString text = QString::fromStdString(sources_.table->Seats[chair].strPlayerName);
    const QFontMetrics metrics(NameFont());
    QRect plate;
    if (s == kUp || s == kDown) {
        const int right = name.x + metrics.horizontalAdvance(text) + 3;
        plate = QRect(QPoint(pic.x - 1, pic.y - 1), QPoint(right, pic.y + 32));
    } else {
        int widest = 0;
        const auto lines = BreakSideName(text);
        for (const QString& line : lines)
            widest = std::max(widest, metrics.horizontalAdvance(line));
        const int left = std::min(name.x, pic.x) - 1;
        const int right = std::max(pic.x + 32, name.x + widest + 1);
        const int bottom = name.y + kNameLineHeight * static_cast<int>(lines.size()) + 2;
        plate = QRect(QPoint(left, pic.y - 1),
                      QPoint(right, std::min(bottom, pic.y + kSidePlateMaxHeight)));
    }
    // The plate never covers the table's painted border.
    const QRect inside(8, 5, layout_.area.width - 16, layout_.area.height - 10);
    return plate.intersected(inside);
}

void TableCanvas::RepaintSeatPlate(play::Chair chair) {
    if (!Ready() || !IsChair(chair)) return;
    const QRect plate = NamePlateRect(chair);
    if (!plate.isEmpty()) EraseRect(plate.x(), plate.y(), plate.width() - 1, plate.height() - 1);
    PaintSeatInfo(chair);
}

void TableCanvas::PaintNetBreak(play::Chair chair) {
    if (!Ready() || !IsChair(chair)) return;
    const Point at = layout_.ptNetBreak[static_cast<std::size_t>(SeatPosition(chair))];
    if (sources_.table->Seats[chair].blnUserFlag)
        DrawPicture(ResourceRoot::Game, kNetBreakPicture, at);
    else if (blnPartialPaint_)
        EraseRect(at.x - 1, at.y - 1, 34, 34);
    Changed();
}

void TableCanvas::PaintHandUp(play::Chair chair) {
    if (!Ready() || !IsChair(chair)) return;
    const Point at = layout_.ptHandUp[static_cast<std::size_t>(SeatPosition(chair))];
    if (sources_.table->Seats[chair].blnReady) {
        DrawPicture(ResourceRoot::Game, kHandUpPicture, at);
    } else if (blnPartialPaint_) {
        EraseRect(at.x - 1, at.y - 1, 34, 34);
        RestoreCentre(at.x - 1, at.y - 1, 35, 35);
    }
    Changed();
}

void TableCanvas::PaintTing(play::Chair chair) {
    if (!Ready() || !IsChair(chair) || sources_.table->Seats[chair].bytTing == 0) return;
    const int s = SeatPosition(chair);
    DrawPicture(
        ResourceRoot::Shared,
        s == kLeft || s == kRight ? "ResMj\\Other\\LR_Ting.bmp" : "ResMj\\Other\\UD_Ting.bmp",
        layout_.ptTing[static_cast<std::size_t>(s)]);
    Changed();
}

void TableCanvas::PaintZhuang() {
    if (!Ready() || !IsChair(sources_.table->bytDealerChair)) return;
    DrawPicture(
        ResourceRoot::Shared, "ResMj\\Other\\Zhuang.ico",
        layout_.ptZhuang[static_cast<std::size_t>(SeatPosition(sources_.table->bytDealerChair))]);
    Changed();
}

void TableCanvas::PaintBetFlag(play::Chair chair) {
    if (!Ready() || !IsChair(chair) || sources_.table->blnHandIdle) return;
    const int choice = sources_.table->Seats[chair].bytBetChoice;
    if (choice >= 4) return;
    const int s = SeatPosition(chair);
    const Point at = layout_.ptBetFlag[static_cast<std::size_t>(s)];
    if (s == kUp || s == kDown)
        DrawPictureCell(ResourceRoot::Game, "Res\\UserPgFlagS.bmp", QRect(56 * choice, 0, 56, 34),
                        at);
    else
        DrawPictureCell(ResourceRoot::Game, "Res\\UserPgFlagC.bmp", QRect(0, 56 * choice, 34, 56),
                        at);
    Changed();
}

void TableCanvas::PaintWildPanel() {
    if (!Ready()) return;
    DrawPicture(ResourceRoot::Game, "Res\\HunQiang.bmp", {10, 10});
    if (const auto face = TileFacePath(TileFaceSet::DownOut, sources_.table->bytWildTile))
        DrawPicture(ResourceRoot::Shared, *face, {76, 21});
    PaintIndicatorPanel();
    Changed();
}

// The wild-tile indicator in a small panel of the wild panel's colours just
// below it: the caption 混皮子 standing in a column beside a slot holding the
// tile's face. Even in the smallest window it stays clear of the top seat's
// drawn tile, the left seat's column and the left seat's clock.
void TableCanvas::PaintIndicatorPanel() {
    const auto face = TileFacePath(TileFaceSet::DownOut, sources_.table->bytWildIndicator);
    if (!face) return;
    const QImage picture = LoadPicture(ResourceRoot::Shared, *face);
    if (picture.isNull()) return;
    const QRectF panel(10.5, 67.5, 62, 42);
    QPainter painter(&canvas_);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient wood(panel.topLeft(), panel.bottomLeft());
    wood.setColorAt(0, QColor(120, 70, 30));
    wood.setColorAt(1, QColor(60, 30, 10));
    painter.setPen(QPen(kPanelGold, 1.2));
    painter.setBrush(wood);
    painter.drawRoundedRect(panel, 5, 5);
    QFont font;
    font.setFamilies(platform::CjkFamilies());
    font.setPixelSize(12);
    painter.setFont(font);
    painter.setPen(kPanelGold);
    const QString caption = QStringLiteral("混皮子");
    for (int i = 0; i < caption.size(); ++i)
        painter.drawText(QRectF(panel.left() + 4, panel.top() + 3 + 12 * i, 26, 12),
                         Qt::AlignCenter, caption.mid(i, 1));
    painter.setPen(QPen(kPanelGold, 1.5));
    painter.setBrush(QColor(30, 16, 4));
    painter.drawRoundedRect(QRectF(kIndicatorFace.x - 2.5, kIndicatorFace.y - 2.5, 27, 40), 3, 3);
    painter.drawImage(ToQt(kIndicatorFace), picture);
}

// --- walls ----------------------------------------------------------------

void TableCanvas::PaintWallSegment(int position, int first, int last) {
    if (blnPartialPaint_) {
        const Point at = WallEraseOrigin(layout_, position);
        const Size size = WallEraseSize(position);
        EraseRect(at.x, at.y, size.width, size.height);
        RestoreCentre(at.x, at.y, size.width + 1, size.height + 1);
    }
    const QImage tile =
        LoadPicture(ResourceRoot::Shared, kWallFiles[static_cast<std::size_t>(position & 3)]);
    if (!tile.isNull()) {
        QPainter painter(&canvas_);
        for (const Point at : WallTilePlaces(layout_, position, first, last))
            painter.drawImage(ToQt(at), tile);
    }
    Changed();
}

void TableCanvas::PaintWall(play::Chair chair) {
    if (!Ready() || !IsChair(chair)) return;
    const auto& seat = sources_.table->Seats[chair];
    PaintWallSegment(SeatPosition(chair), seat.lngWallHead, seat.lngWallTail);
}

void TableCanvas::PaintFullWalls() {
    for (int position = 0; position < 4; ++position) PaintWallSegment(position, 0, 33);
}

// --- hands and melds -----------------------------------------------------------

void TableCanvas::PaintTileFace(int tile, Point at, int position) {
    if (const auto face = TileFacePath(MeldFaceSet(position), tile))
        DrawPicture(ResourceRoot::Shared, *face, at);
}

void TableCanvas::PaintMeld(int position, const rules::MeldRecord& meld, Point origin) {
    const int tile = meld.bytTile;
    if (tile >= 39) return;
    const bool chow = meld.bytKind == rules::MeldKind::Chow;
    const bool kong = meld.bytKind == rules::MeldKind::ConcealedKong ||
                      meld.bytKind == rules::MeldKind::ExposedKong;
    const auto places = MeldTilePlaces(position, kong, origin);
    for (std::size_t i = 0; i < 3; ++i) {
        int code = tile;
        if (chow)
            code = position == kRight ? tile + 2 - static_cast<int>(i) : tile + static_cast<int>(i);
        if (meld.bytKind == rules::MeldKind::ConcealedKong)
            DrawPicture(ResourceRoot::Shared, TileBackPath(BackKind::MeldBack, position),
                        places[i]);
        else
            PaintTileFace(code, places[i], position);
    }
    if (kong) PaintTileFace(tile, places[3], position);
    if (IsChair(meld.bytSource)) {
        const int arrow = SeatPosition(meld.bytSource);
        DrawMasked(ResourceRoot::Game, "Res\\Arrow.bmp", QRect(9 * arrow, 9, 9, 9),
                   QRect(9 * arrow, 0, 9, 9), MeldArrowPlace(position, kong, origin));
    }
}

void TableCanvas::PaintHands(play::Chair chair) {
    if (!Ready() || !IsChair(chair) || sources_.table->blnHandIdle) return;
    const int s = SeatPosition(chair);
    const auto& melds = sources_.table->Seats[chair].Melds;
    const int n = static_cast<int>(melds.size());
    if (blnPartialPaint_) {
        const Point at = HandEraseOrigin(layout_, s);
        const Size size = HandEraseSize(layout_, s);
        EraseRect(at.x, at.y, size.width, size.height);
        RestoreCentre(at.x, at.y, size.width + 1, size.height + 1);
    }
    const std::string back = TileBackPath(BackKind::Hand, s);
    const auto backs = HandBackPlaces(layout_, s, n);
    const auto* open = OpenHandOf(chair);
    auto drawBacks = [&] {
        if (open) return DrawOpenHand(s, *open, n);
        const QImage picture = LoadPicture(ResourceRoot::Shared, back);
        if (picture.isNull()) return;
        QPainter painter(&canvas_);
        for (const Point at : backs) painter.drawImage(ToQt(at), picture);
    };
    auto drawMelds = [&] {
        // Up and right draw the last made first, so that nearer melds overlap.
        const bool lastFirst = s == kUp || s == kRight;
        for (int k = 0; k < n; ++k) {
            const int i = lastFirst ? n - 1 - k : k;
            PaintMeld(s, melds[static_cast<std::size_t>(i)], MeldOrigin(layout_, s, i, n));
        }
    };
    if (s == kLeft) {
        drawMelds();
        drawBacks();
        // The erase took the top of a lifted drawn tile standing over the column's foot.
        if (blnPartialPaint_ && LeftDrawnTileLifted(layout_)) DrawDrawnTile(chair);
    } else if (s == kDown) {
        // In a low window the melds would reach into the bet flag and the
        // portrait below them: they end where the erased rectangle does.
        const Point at = HandEraseOrigin(layout_, s);
        clip_ = QRect(0, 0, layout_.area.width, at.y + HandEraseSize(layout_, s).height + 1);
        drawMelds();
        clip_ = QRect();
        PaintLocalHand();
    } else {
        drawBacks();
        drawMelds();
        // The right seat's erase took the bottom row of its drawn tile above the column.
        if (blnPartialPaint_ && s == kRight) DrawDrawnTile(chair);
    }
    Changed();
}

void TableCanvas::DrawLocalHandTile(int index, Point at) {
    const auto& hand = sources_.table->bytMyHand;
    if (index < 1 || index > static_cast<int>(hand.size())) return;
    if (sources_.table->bytHandVisible != 0) {
        const rules::TileCode tile = hand[static_cast<std::size_t>(index - 1)];
        const auto face = TileFacePath(TileFaceSet::DownShou, tile);
        const bool drawn = face && DrawPicture(ResourceRoot::Shared, *face, at);
        if (drawn && sources_.table->IsWild(tile)) DrawWildHalo(at);
        if (index == HintedHandIndex()) DrawHintMark(at);
    } else {
        DrawPicture(ResourceRoot::Shared, kLocalHandBack, at);
    }
}

int TableCanvas::HintedHandIndex() const {
    if (!sources_.offer || !sources_.offer->hintDiscard) return -1;
    const auto& hand = sources_.table->bytMyHand;
    // The last copy: the drawn tile, when it is the one to throw.
    for (int i = static_cast<int>(hand.size()); i >= 1; --i)
        if (hand[static_cast<std::size_t>(i - 1)] == *sources_.offer->hintDiscard) return i;
    return -1;
}

// The handbook's mark of a wild tile: a gold ring with a soft glow inside it,
// kept within the tile so that its neighbours stay untouched.
void TableCanvas::DrawWildHalo(Point at) {
    QPainter painter(&canvas_);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    const QRectF tile(at.x, at.y, kHandTileWidth,
                      szShouPai[static_cast<std::size_t>(kDown)].height);
    constexpr int kGlowWidth = 4;
    for (int i = kGlowWidth; i >= 1; --i) {
        QColor glow(245, 197, 66);
        glow.setAlpha(150 - 30 * i);
        painter.setPen(QPen(glow, 1));
        const qreal inset = 1.5 + i;
        painter.drawRoundedRect(tile.adjusted(inset, inset, -inset, -inset), 4, 4);
    }
    painter.setPen(QPen(QColor(224, 160, 0), 2));
    painter.drawRoundedRect(tile.adjusted(1, 1, -1, -1), 4, 4);
}

// A gold corner with a dark edge over the tile's top right: small enough to
// leave the face readable, clear against every tile.
void TableCanvas::DrawHintMark(Point at) {
    QPainter painter(&canvas_);
    painter.setRenderHint(QPainter::Antialiasing);
    constexpr int kSize = 16;
    const int right = at.x + kHandTileWidth - 2;
    const QPolygon corner({QPoint(right - kSize, at.y + 1), QPoint(right, at.y + 1),
                           QPoint(right, at.y + 1 + kSize)});
    painter.setPen(QPen(QColor(90, 50, 0), 1));
    painter.setBrush(QColor(255, 196, 0));
    painter.drawPolygon(corner);
}

void TableCanvas::PaintLocalHand() {
    if (!Ready() || sources_.table->bytTurnPhase == kSideBetPhase) return;
    const int n = static_cast<int>(sources_.table->bytMyHand.size());
    const int m = static_cast<int>(sources_.table->MyMelds().size());
    const std::int32_t top = layout_.ptShouPai[kDown].y;
    if (blnPartialPaint_) {
        // A hand that just shrank (a discard, a meld) must not leave its old
        // last tile behind: clear from the new end to the end of the hand area.
        const std::int32_t left = LocalRowPlaces(layout_, m).handLeft;
        const std::int32_t end = n > 0 ? LocalHandTileX(layout_, n, n, m) + 44 : left;
        const std::int32_t areaEnd =
            HandEraseOrigin(layout_, kDown).x + HandEraseSize(layout_, kDown).width;
        if (areaEnd > end) EraseRect(end, top - kRaiseHeight, areaEnd - end, 70 + kRaiseHeight);
        // The strip a raised tile stands in; the raised tile is drawn again below.
        if (end > left) EraseRect(left, top - kRaiseHeight, end - left - 1, kRaiseHeight - 1);
    }
    for (int i = 1; i <= n; ++i) DrawLocalHandTile(i, {LocalHandTileX(layout_, i, n, m), top});
    if (blnPartialPaint_ && raisedTile_ > n) raisedTile_ = -1;
    if (blnPartialPaint_ && raisedTile_ > 0) {
        const std::int32_t x = LocalHandTileX(layout_, raisedTile_, n, m);
        EraseRect(x, top, 43, 70);
        DrawLocalHandTile(raisedTile_, {x, top - kRaiseHeight});
    }
    Changed();
}

Point TableCanvas::ClockPlaceForTag(int tag) const {
    if (!Ready() || !IsChair(tag)) return ClockPlace(layout_, -1);
    return ClockPlace(layout_, SeatPosition(static_cast<play::Chair>(tag)));
}

int TableCanvas::HandCount() const {
    return Ready() ? static_cast<int>(sources_.table->bytMyHand.size()) : 0;
}

int TableCanvas::LocalMeldCount() const {
    return Ready() ? static_cast<int>(sources_.table->MyMelds().size()) : 0;
}

void TableCanvas::RaiseTile(int index) {
    if (!Ready() || sources_.table->bytTurnPhase == kSideBetPhase || index == raisedTile_) return;
    LowerTile();
    const int n = static_cast<int>(sources_.table->bytMyHand.size());
    const int m = static_cast<int>(sources_.table->MyMelds().size());
    if (index < 1 || index > n) return;
    const std::int32_t x = LocalHandTileX(layout_, index, n, m);
    const std::int32_t top = layout_.ptShouPai[kDown].y;
    EraseRect(x, top, 43, 70);
    DrawLocalHandTile(index, {x, top - kRaiseHeight});
    raisedTile_ = index;
    Changed();
}

void TableCanvas::LowerTile() {
    if (!Ready() || sources_.table->bytTurnPhase == kSideBetPhase || raisedTile_ <= 0) return;
    const int n = static_cast<int>(sources_.table->bytMyHand.size());
    const int m = static_cast<int>(sources_.table->MyMelds().size());
    const std::int32_t x = LocalHandTileX(layout_, raisedTile_, n, m);
    const std::int32_t top = layout_.ptShouPai[kDown].y;
    EraseRect(x, top - kRaiseHeight, 43, 80);
    DrawLocalHandTile(raisedTile_, {x, top});
    raisedTile_ = -1;
    Changed();
}

// --- hands shown face up (a replay) ----------------------------------------------

const std::vector<std::uint8_t>* TableCanvas::OpenHandOf(play::Chair chair) const {
    if (!sources_.openHands || !IsChair(chair)) return nullptr;
    if (SeatPosition(chair) == kDown) return nullptr;  // the local hand is the session's
    return &(*sources_.openHands)[chair];
}

namespace {
// Where a face-up tile lies in the place of a standing back: the side faces
// are wider and lower than the backs, so they keep the back's top left; the
// face seen from across the table sits at the bottom of the back's place.
Point OpenTilePlace(int position, Point back) {
    if (position == kUp)
        return {back.x + (szShouPai[kUp].width - szLiangPai[kUp].width) / 2,
                back.y + szShouPai[kUp].height - szLiangPai[kUp].height};
    return back;
}
}  // namespace

void TableCanvas::DrawOpenHand(int position, const std::vector<std::uint8_t>& tiles,
                               int meldCount) {
    const auto places = HandBackPlaces(layout_, position, meldCount);
    for (std::size_t i = 0; i < tiles.size() && i < places.size(); ++i)
        PaintTileFace(tiles[i], OpenTilePlace(position, places[i]), position);
    if (tiles.size() > places.size())
        PaintTileFace(tiles.back(),
                      OpenTilePlace(position, layout_.ptMoPai[static_cast<std::size_t>(position)]),
                      position);
}

// The drawn-tile places of the other chairs, each erased and, where the
// chair holds a tile beyond its hand's places, painted face up.
void TableCanvas::PaintOpenDrawnTiles() {
    for (play::Chair chair = 0; chair < rules::kChairCount; ++chair) {
        if (!OpenHandOf(chair)) continue;
        const int s = SeatPosition(chair);
        const Point at = layout_.ptMoPai[static_cast<std::size_t>(s)];
        const Size size = {std::max(szShouPai[static_cast<std::size_t>(s)].width,
                                    szLiangPai[static_cast<std::size_t>(s)].width),
                           std::max(szShouPai[static_cast<std::size_t>(s)].height,
                                    szLiangPai[static_cast<std::size_t>(s)].height)};
        if (blnPartialPaint_) EraseRect(at.x, at.y, size.width - 1, size.height - 1);
        DrawDrawnTile(chair);
    }
    if (blnPartialPaint_) RepaintUnderLiftedDrawnTile();
    Changed();
}

void TableCanvas::PaintMoPai() {
    if (!Ready()) return;
    if (sources_.openHands) return PaintOpenDrawnTiles();
    const play::Chair drawer = sources_.turn->bytDrawnTileSeat;
    if (IsChair(drawer)) {
        DrawDrawnTile(drawer);
    } else if (blnPartialPaint_) {
        // Exactly the tile: its neighbours (the right seat's first tile below
        // it) start on the next row.
        for (const int s : {kUp, kLeft, kRight}) {
            const Point at = layout_.ptMoPai[static_cast<std::size_t>(s)];
            const Size size = szShouPai[static_cast<std::size_t>(s)];
            EraseRect(at.x, at.y, size.width - 1, size.height - 1);
        }
        RepaintUnderLiftedDrawnTile();
    }
    Changed();
}

// The drawn tile a chair holds beyond its hand, drawn over its place without
// erasing first: a back in a game, the face in a replay.
void TableCanvas::DrawDrawnTile(play::Chair chair) {
    const int s = SeatPosition(chair);
    if (s == kDown) return;
    const Point at = layout_.ptMoPai[static_cast<std::size_t>(s)];
    if (const auto* open = OpenHandOf(chair)) {
        const int melds = static_cast<int>(sources_.table->Seats[chair].Melds.size());
        if (open->size() > HandBackPlaces(layout_, s, melds).size())
            PaintTileFace(open->back(), OpenTilePlace(s, at), s);
        return;
    }
    if (chair == sources_.turn->bytDrawnTileSeat)
        DrawPicture(ResourceRoot::Shared, TileBackPath(BackKind::Hand, s), at);
}

// A lifted drawn tile of the left seat stands over the foot of its column:
// erasing it takes the column's last tile with it, which is drawn again.
void TableCanvas::RepaintUnderLiftedDrawnTile() {
    if (!LeftDrawnTileLifted(layout_)) return;
    for (play::Chair chair = 0; chair < rules::kChairCount; ++chair)
        if (SeatPosition(chair) == kLeft) PaintHands(chair);
}

// --- discards ----------------------------------------------------------------

void TableCanvas::PaintDiscards(play::Chair chair, bool drawAll) {
    if (!Ready() || !IsChair(chair)) return;
    const int s = SeatPosition(chair);
    const auto& discards = sources_.table->Seats[chair].Discards;
    const int count = static_cast<int>(discards.size());
    for (int i = 0; i < count; ++i) {
        if (!drawAll && i != count - 1) continue;
        const auto slot = DiscardPlace(layout_, s, i);
        if (!slot) continue;
        const auto face = TileFacePath(DiscardFaceSet(s), discards[static_cast<std::size_t>(i)]);
        if (!face) continue;
        DrawPictureCell(ResourceRoot::Shared, *face,
                        QRect(0, 0, slot->visible.width, slot->visible.height), slot->at);
    }
    Changed();
}

void TableCanvas::ShowNewestDiscard(play::Chair chair, play::Tile tile) {
    if (!Ready() || !IsChair(chair)) return;
    const int s = SeatPosition(chair);
    const auto& discards = sources_.table->Seats[chair].Discards;
    if (discards.empty()) return;
    const auto slot = DiscardPlace(layout_, s, static_cast<int>(discards.size()) - 1);
    if (!slot) return;
    const Size size = szOutPai[static_cast<std::size_t>(s)];
    newest_.visible = false;
    newest_.rect = QRect(slot->at.x - 3, slot->at.y - 3, size.width + 6, size.height + 6);
    newest_.picture = QImage(newest_.rect.size(), QImage::Format_RGB32);
    newest_.picture.fill(kTableBackColour);
    if (const auto face = TileFacePath(DiscardFaceSet(s), tile)) {
        const QImage picture = LoadPicture(ResourceRoot::Shared, *face);
        QPainter painter(&newest_.picture);
        if (!picture.isNull()) painter.drawImage(3, 3, picture);
    }
    newest_.chair = chair;
    newest_.tile = tile;
    newest_.tag = std::to_string(chair) + std::to_string(tile);
    newest_.visible = true;
    PaintNewestDiscardFrame(false);
}

void TableCanvas::HideNewestDiscard() {
    newest_.visible = false;
    Changed();
}

void TableCanvas::PaintNewestDiscardFrame(bool alternateLook) {
    if (!newest_.visible || newest_.picture.isNull()) return;
    const QColor outer = alternateLook ? QColor(0, 255, 0) : QColor(255, 0, 0);
    const QColor inner = alternateLook ? QColor(255, 0, 255) : QColor(0, 255, 0);
    QPainter painter(&newest_.picture);
    const QRect box(0, 0, newest_.picture.width() - 1, newest_.picture.height() - 1);
    painter.setPen(outer);
    painter.drawRect(box);
    painter.drawRect(box.adjusted(4, 4, -4, -4));
    painter.setPen(inner);
    for (int inset = 1; inset <= 3; ++inset)
        painter.drawRect(box.adjusted(inset, inset, -inset, -inset));
    Changed();
}

void TableCanvas::ShowTurnHighlight(play::Chair chair) {
    if (!IsChair(chair)) return ClearTurnHighlight();
    const play::Chair previous = std::exchange(litChair_, chair);
    if (previous != chair) RepaintSeatPlate(previous);
    RepaintSeatPlate(chair);
}

void TableCanvas::ClearTurnHighlight() {
    RepaintSeatPlate(std::exchange(litChair_, rules::kTableNoChair));
}

void TableCanvas::ReplaceClock() {
    if (!clock_ || clock_->isHidden()) return;
    const Point place = ClockPlaceForTag(clock_->Tag());
    clock_->move(place.x, place.y);
}

void TableCanvas::DrawOverlays(QPainter& painter) const {
    if (newest_.visible && !newest_.picture.isNull())
        painter.drawImage(newest_.rect.topLeft(), newest_.picture);
    if (!die_.isNull()) painter.drawImage(DieRect().topLeft(), die_);
}

QImage TableCanvas::ComposeFrame() const {
    QImage frame = canvas_.copy();
    QPainter painter(&frame);
    DrawOverlays(painter);
    return frame;
}

QRect TableCanvas::DieRect() const {
    return {(layout_.area.width - 32) / 2, (layout_.area.height - 32) / 2, 32, 32};
}

void TableCanvas::ShowDie(const QImage& face) {
    die_ = face.scaled(32, 32);
    Changed();
}

void TableCanvas::HideDie() {
    die_ = QImage();
    Changed();
}

// --- buttons -------------------------------------------------------------------

void TableCanvas::PaintActionBar() {
    if (!Ready()) return;
    const Point bar = layout_.ptActionBar;
    for (int i = 0; i < 5; ++i) {
        const bool available = sources_.offer->bytActionButtons[static_cast<std::size_t>(i)] == 1;
        DrawPictureCell(ResourceRoot::Game, "Res\\But.bmp",
                        QRect(kActionButtonWidth * i, available ? 0 : kActionButtonHeight,
                              kActionButtonWidth, kActionButtonHeight),
                        {bar.x + kActionButtonWidth * i, bar.y});
        const auto hinted = sources_.offer->hintAction;
        if (available && hinted && static_cast<int>(*hinted) == i) {
            // The hint lights the button with a gold frame inside its cell.
            QPainter painter(&canvas_);
            painter.setPen(QPen(QColor(255, 196, 0), 3));
            painter.drawRect(bar.x + kActionButtonWidth * i + 2, bar.y + 2, kActionButtonWidth - 5,
                             kActionButtonHeight - 5);
        }
    }
    Changed();
}

std::uint8_t TableCanvas::GameButtonState(int index) const {
    if (!Ready() || index < 0 || index > 2) return 0;
    const std::uint8_t state = sources_.table->bytBetButtonStates[static_cast<std::size_t>(index)];
    return state == 1 && index == hoveredGameButton_ ? 2 : state;
}

void TableCanvas::SetHoveredGameButton(int index) {
    if (index == hoveredGameButton_) return;
    const int previous = hoveredGameButton_;
    hoveredGameButton_ = index;
    if (previous >= 0) PaintGameButton(previous);
    if (index >= 0) PaintGameButton(index);
}

std::uint8_t TableCanvas::StartButtonState() const {
    if (!Ready()) return 0;
    const std::uint8_t state = sources_.table->bytStartButtonState;
    return state == 1 && startHovered_ ? 2 : state;
}

void TableCanvas::SetStartButtonHovered(bool hovered) {
    if (hovered == startHovered_) return;
    startHovered_ = hovered;
    PaintStartButton();
}

void TableCanvas::PaintGameButton(int index) {
    if (!Ready() || index < 0 || index > 2) return;
    const int state = GameButtonState(index);
    if (state < 1 || state > 3) return;
    const Point first = layout_.ptGameBut;
    DrawMasked(ResourceRoot::Game, "Res\\GameBut.bmp", QRect(486, 0, 54, 35),
               QRect((state - 1) * 162 + 54 * index, 0, 54, 35),
               {first.x + kGameButtonSpacing * index, first.y});
    Changed();
}

void TableCanvas::PaintGameButtons() {
    if (!Ready()) return;
    if (sources_.table->bytBetButtonStates[0] == 0) {
        hoveredGameButton_ = -1;
        const Point first = layout_.ptGameBut;
        EraseRect(first.x - 1, first.y - 1, 180, 37);
        RestoreCentre(first.x - 1, first.y - 1, 181, 38);
        Changed();
        return;
    }
    for (int i = 0; i < 3; ++i) PaintGameButton(i);
}

void TableCanvas::PaintStartButton() {
    if (!Ready()) return;
    const int state = StartButtonState();
    if (state != 1 && state != 2) return;
    DrawPictureCell(ResourceRoot::Game, "Res\\Start.bmp",
                    QRect((state - 1) * kStartButtonSide, 0, kStartButtonSide, kStartButtonSide),
                    layout_.ptStartBut);
    Changed();
}

void TableCanvas::UpdateStartButton() {
    if (!Ready()) return;
    if (sources_.table->bytStartButtonState != 0) {
        PaintStartButton();
        return;
    }
    startHovered_ = false;
    const Point at = layout_.ptStartBut;
    EraseRect(at.x, at.y, kStartButtonSide, kStartButtonSide);
    Changed();
}

}  // namespace qira::render
