#pragma once

#include <QImage>
#include <QRect>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "launch/globals.h"
#include "play/client_session.h"
#include "play/session_interfaces.h"
#include "render/geometry.h"
#include "rules/table_state.h"

namespace qira::platform {
class TurnClockWidget;
}

// The table painters: everything on the game area is painted by hand into one
// persistent picture from the resource files, at the anchors of the table
// layout. A full repaint clears the picture and runs every painter in a fixed
// order; the session's partial repaints run one painter, which first erases its
// own rectangle (and restores the part of the centre picture it covered).
namespace qira::render {

// What the painters read. The session owns all of it; tests build it by hand.
struct TableSources {
    const rules::TableState* table = nullptr;
    const launch::ClientGlobals* globals = nullptr;
    const play::TurnData* turn = nullptr;
    const play::OfferData* offer = nullptr;
    // Every chair's concealed tiles, shown face up in place of the other
    // chairs' backs (a replay); a chair's tile beyond 13 - 3 x melds stands
    // where a drawn tile does. Null in a game.
    const std::array<std::vector<std::uint8_t>, 4>* openHands = nullptr;
};

inline const QColor kTableBackColour(33, 89, 173);

// Where a resource picture comes from.
enum class ResourceRoot { Game, Shared };

class TableCanvas final : public play::TablePainter {
public:
    TableCanvas();

    void SetSources(const TableSources& sources) { sources_ = sources; }
    const TableSources& sources() const { return sources_; }
    // Called when anything visible changed, so that the widget showing the
    // picture updates.
    void SetChangedHandler(std::function<void()> handler) { changed_ = std::move(handler); }
    // Tells the widget that something drawn over the table moved (the
    // discard animation); the painters' count stays as it is.
    void NotifyChanged() {
        if (changed_) changed_();
    }
    // Grows by one with every painter call that changed the picture.
    std::uint64_t PaintCount() const { return paintCount_; }

    // The resize handler of the game area: recomputes the anchors and tells
    // whether the picture must be repainted (it always is when it shrank).
    bool Resize(Size frameInner, Size windowInner);
    // The screen's device pixels per logical pixel: the picture is kept at
    // that resolution, so text and shapes stay sharp on a scaled desktop.
    // Takes effect with the next Resize.
    void SetPixelRatio(qreal ratio) { pixelRatio_ = ratio > 0 ? ratio : 1.0; }
    const TableLayout& layout() const { return layout_; }
    const QImage& picture() const { return canvas_; }
    // The picture for drawing on top of the table (the discard animation).
    QImage& picture() { return canvas_; }
    // The picture as the player sees it: the table and the raised newest discard.
    QImage ComposeFrame() const;

    // --- play::TablePainter ---
    void PaintTable() override;
    void PaintSeatInfo(play::Chair chair) override;
    void PaintNetBreak(play::Chair chair) override;
    void PaintHandUp(play::Chair chair) override;
    void PaintTing(play::Chair chair) override;
    void PaintBetFlag(play::Chair chair) override;
    void PaintHands(play::Chair chair) override;
    void PaintLocalHand() override;
    void PaintMoPai() override;
    void PaintDiscards(play::Chair chair, bool drawAll) override;
    void PaintWall(play::Chair chair) override;
    void PaintFullWalls() override;
    void PaintActionBar() override;
    void PaintGameButtons() override;
    void UpdateStartButton() override;
    void ShowNewestDiscard(play::Chair chair, play::Tile tile) override;
    void HideNewestDiscard() override;
    void PaintNewestDiscardFrame(bool alternateLook) override;
    void ShowTurnHighlight(play::Chair chair) override;
    void ClearTurnHighlight() override;

    // --- the painting framework and the single painters ---
    void EraseRect(int x, int y, int width, int height);
    void RestoreCentre(int x, int y, int width, int height);
    void PaintBackground();
    void PaintZhuang();
    void PaintWildPanel();
    void PaintGameButton(int index);
    void PaintStartButton();
    void PaintWallSegment(int position, int first, int last);
    void PaintMeld(int position, const rules::MeldRecord& meld, Point origin);
    void PaintTileFace(int tile, Point at, int position);

    // The local hand tile under the mouse, drawn 10 pixels higher (1-based;
    // -1 or 0 = none). Nothing happens while side bets are chosen.
    void RaiseTile(int index);
    void LowerTile();
    int lngRaisedPai() const { return raisedTile_; }
    int HandCount() const;
    int LocalMeldCount() const;

    // Where the turn clock stands for the clock's tag: a chair's seat, or the
    // centre for 4 and above.
    Point ClockPlaceForTag(int tag) const;
    // The turn clock that the full repaint puts back at its place (`ReplaceClock`).
    void SetTurnClock(platform::TurnClockWidget* clock) { clock_ = clock; }
    // Moves a shown clock to the place of the chair in its tag, for the
    // anchors of the present size.
    void ReplaceClock();

    // The chair whose name plate is lit for its turn, or none.
    play::Chair LitChair() const { return litChair_; }
    // Where a seat's name plate lies: the portrait and the name.
    QRect NamePlateRect(play::Chair chair) const;

    // Hover looks set by the mouse (the table keeps the session's states).
    // A button in its normal state under the mouse is drawn highlighted.
    void SetHoveredGameButton(int index);  // -1 = none
    int HoveredGameButton() const { return hoveredGameButton_; }
    std::uint8_t GameButtonState(int index) const;  // as drawn: 0 hidden ... 3 chosen
    void SetStartButtonHovered(bool hovered);
    std::uint8_t StartButtonState() const;

    // The die shown over the middle of the table while the dice roll.
    void ShowDie(const QImage& face);
    void HideDie();
    bool DieVisible() const { return !die_.isNull(); }
    QRect DieRect() const;

    // Draws what lies above the table picture: the newest discard and the die.
    void DrawOverlays(QPainter& painter) const;

    // The newest discard's picture control: its place, and its tag
    // (the chair as one digit, then the tile code).
    bool NewestDiscardVisible() const { return newest_.visible; }
    QRect NewestDiscardRect() const { return newest_.rect; }
    std::string NewestDiscardTag() const { return newest_.tag; }

private:
    bool Ready() const;
    int SeatPosition(play::Chair chair) const;
    bool DrawPicture(ResourceRoot root, std::string_view path, Point at);
    bool DrawPictureCell(ResourceRoot root, std::string_view path, const QRect& source, Point at);
    bool DrawMasked(ResourceRoot root, std::string_view path, const QRect& mask, const QRect& image,
                    Point at);
    QImage LoadPicture(ResourceRoot root, std::string_view path) const;
    void DrawLocalHandTile(int index, Point at);
    const std::vector<std::uint8_t>* OpenHandOf(play::Chair chair) const;
    void DrawOpenHand(int position, const std::vector<std::uint8_t>& tiles, int meldCount);
    void PaintOpenDrawnTiles();
    void DrawDrawnTile(play::Chair chair);
    void RepaintUnderLiftedDrawnTile();
    int HintedHandIndex() const;  // 1-based; -1 without a hinted discard
    void DrawHintMark(Point at);
    void DrawWildHalo(Point at);
    void PaintIndicatorPanel();
    void DrawName(int position, const QString& name, const QColor& colour);
    void RepaintSeatPlate(play::Chair chair);
    void Changed();

    struct NewestDiscard {
        bool visible = false;
        QRect rect;
        play::Chair chair = 0;
        play::Tile tile = 0;
        std::string tag;
        QImage picture;
    };

    TableSources sources_;
    std::function<void()> changed_;
    QImage canvas_;
    QRect clip_;  // while set, the resource pictures are drawn only inside it
    qreal pixelRatio_ = 1.0;
    void NewPicture(Size area);
    TableLayout layout_;
    Size previousArea_;
    bool blnPartialPaint_ = true;
    bool fullRepaintRunning_ = false;
    int raisedTile_ = -1;
    int hoveredGameButton_ = -1;
    bool startHovered_ = false;
    QImage die_;
    NewestDiscard newest_;
    platform::TurnClockWidget* clock_ = nullptr;
    std::uint64_t paintCount_ = 0;
    play::Chair litChair_ = rules::kTableNoChair;
};

// A side seat's name broken into lines: a character whose UTF-16 unit has a
// non-zero high byte counts 2, any other 1, and a line closes as soon as its
// count reaches 8.
std::vector<QString> BreakSideName(const QString& name);

}  // namespace qira::render
