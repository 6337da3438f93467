#include "ui/play/frm_hu_pai_result.h"

#include <QApplication>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <algorithm>

#include "launch/globals.h"
#include "ui/platform/fonts.h"
#include "ui/platform/resource_pixmap.h"

namespace qira::play {
namespace {

constexpr int kMeldKindConcealedKong = 3;
constexpr int kRowHeight = 78;
constexpr int kTileGap = 6;
constexpr int kNameWidth = 96;
// The band under a winner's hand that shows it grouped into its sets.
constexpr int kArrangedHeight = 66;
constexpr int kArrangedTileHeight = 40;
constexpr int kArrangedTileSpacing = 4;
constexpr int kArrangedGroupGap = 12;
constexpr int kLabelHeight = 15;

QString FromUtf8(const std::string& text) {
    return QString::fromStdString(text);
}

QImage LoadPicture(const QString& sharedFolder, const std::string& relative) {
    const QString path = FromUtf8(launch::NativeResourcePath(sharedFolder.toStdString(), relative));
    return platform::ReadPicture(path);
}

QImage MeldFace(const QString& folder, int tile) {
    return LoadPicture(folder, "ResMj\\DownPeng\\plpDownPeng" + std::to_string(tile) + ".bmp");
}
QImage HandFace(const QString& folder, int tile) {
    return LoadPicture(folder, "ResMj\\DownShou\\plpDownShou" + std::to_string(tile) + ".bmp");
}
QImage DiscardFace(const QString& folder, int tile) {
    return LoadPicture(folder, "ResMj\\DownOut\\plpDownOut" + std::to_string(tile) + ".bmp");
}
QImage MeldBack(const QString& folder) {
    return LoadPicture(folder, "ResMj\\PaiBack\\Down_Liang_Back.bmp");
}

}  // namespace

// Draws each winner's melds, concealed tiles and the winning tile on one row.
class WinnerHandsView : public QWidget {
public:
    WinnerHandsView(QString sharedFolder, QWidget* parent)
        : QWidget(parent), sharedFolder_(std::move(sharedFolder)) {}

    void SetRecord(const WinRecord& record, const std::array<std::string, 4>& names,
                   std::optional<std::uint8_t> wildTile) {
        record_ = record;
        names_ = names;
        arranged_.clear();
        int height = 8;
        for (const auto& winner : record.winners) {
            arranged_.push_back(ArrangeWinnerHand(winner, record.winningTile, wildTile));
            height += kRowHeight + (arranged_.back().empty() ? 0 : kArrangedHeight);
        }
        setMinimumSize(WidestRow(), height);
        updateGeometry();
        update();
    }

    const std::vector<frmHuPaiResult::PaintedLabel>& PaintedLabels() const { return labels_; }

protected:
    void paintEvent(QPaintEvent*) override {
        if (!record_) return;
        QPainter painter(this);
        labels_.clear();
        int y = 4;
        for (std::size_t i = 0; i < record_->winners.size(); ++i) {
            const auto& winner = record_->winners[i];
            painter.drawText(QRect(4, y, 90, kRowHeight - 8), Qt::AlignVCenter | Qt::AlignLeft,
                             FromUtf8(names_[winner.chair]));
            int x = kNameWidth;
            for (const auto& meld : winner.melds) x = DrawMeld(painter, meld, x, y) + kTileGap;
            for (const auto tile : winner.concealedTiles)
                x = DrawScaled(painter, HandFace(sharedFolder_, tile), x, y);
            x += kTileGap;
            DrawScaled(painter, DiscardFace(sharedFolder_, record_->winningTile), x, y);
            y += kRowHeight;
            if (arranged_[i].empty()) continue;
            DrawArranged(painter, arranged_[i], y);
            y += kArrangedHeight;
        }
    }

private:
    static constexpr int kTileAdvanceEstimate = 40;

    // Room for the longest row: name, melds, concealed tiles and the winning
    // tile; the grouped hand under it is narrower.
    int WidestRow() const {
        int widest = 0;
        for (const auto& winner : record_->winners) {
            int tiles = static_cast<int>(winner.concealedTiles.size()) + 1;
            for (const auto& meld : winner.melds)
                tiles += meld.kind >= kMeldKindConcealedKong ? 4 : 3;
            const int gaps = static_cast<int>(winner.melds.size() + 1) * kTileGap;
            widest = std::max(widest, kNameWidth + tiles * kTileAdvanceEstimate + gaps + 12);
        }
        return widest;
    }

    // The hand grouped into its sets, smaller, with what each wild tile stood
    // for written under it.
    void DrawArranged(QPainter& painter, const std::vector<ArrangedGroup>& groups, int y) {
        QFont labelFont = font();
        labelFont.setPixelSize(11);
        painter.save();
        painter.setFont(labelFont);
        painter.setPen(QColor(0xb0, 0x10, 0x10));
        int x = kNameWidth;
        for (const auto& group : groups) {
            for (const auto& tile : group) {
                const QImage face = HandFace(sharedFolder_, tile.tile);
                const QImage scaled = face.isNull() ? QImage()
                                                    : face.scaledToHeight(kArrangedTileHeight,
                                                                          Qt::SmoothTransformation);
                const int width = scaled.isNull() ? kArrangedTileHeight * 2 / 3 : scaled.width();
                if (!scaled.isNull()) painter.drawImage(x, y + 2, scaled);
                if (!tile.label.empty()) DrawLabel(painter, FromUtf8(tile.label), x, width, y);
                x += width + kArrangedTileSpacing;
            }
            x += kArrangedGroupGap;
        }
        painter.restore();
    }

    void DrawLabel(QPainter& painter, const QString& text, int tileX, int tileWidth, int y) {
        const int width = painter.fontMetrics().horizontalAdvance(text) + 2;
        const QRect rect(tileX + (tileWidth - width) / 2, y + 4 + kArrangedTileHeight, width,
                         kLabelHeight);
        painter.drawText(rect, Qt::AlignCenter, text);
        labels_.push_back({rect.translated(mapTo(window(), QPoint(0, 0))), text});
    }

    // Draws a picture scaled to the row's tile height; returns the next x.
    int DrawScaled(QPainter& painter, const QImage& image, int x, int y) {
        constexpr int tileHeight = kRowHeight - 20;
        if (image.isNull()) return x + tileHeight * 2 / 3;
        const QImage scaled = image.scaledToHeight(tileHeight, Qt::SmoothTransformation);
        painter.drawImage(x, y + 6, scaled);
        return x + scaled.width();
    }

    int DrawMeld(QPainter& painter, const WinMeld& meld, int x, int y) {
        const int count = meld.kind >= kMeldKindConcealedKong ? 4 : 3;
        for (int i = 0; i < count; ++i) {
            int tile = meld.tile;
            if (meld.kind == 1) tile += i;  // a chow is named by its lowest tile
            const QImage face = meld.kind == kMeldKindConcealedKong ? MeldBack(sharedFolder_)
                                                                    : MeldFace(sharedFolder_, tile);
            x = DrawScaled(painter, face, x, y);
        }
        return x;
    }

    QString sharedFolder_;
    std::optional<WinRecord> record_;
    std::array<std::string, 4> names_;
    std::vector<std::vector<ArrangedGroup>> arranged_;  // one per winner, empty when unknown
    std::vector<frmHuPaiResult::PaintedLabel> labels_;
};

frmHuPaiResult::frmHuPaiResult(QString sharedFolder, QWidget* owner)
    : QDialog(owner),
      sharedFolder_(std::move(sharedFolder)),
      hands_(std::make_unique<WinnerHandsView>(sharedFolder_, this)),
      closeButton_(FromUtf8(CloseButtonCaption(kWinResultSeconds)), this) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    auto* layout = new QVBoxLayout(this);
    QFont headerFont = winnerLine_.font();
    headerFont.setPointSize(headerFont.pointSize() + 3);
    headerFont.setBold(true);
    winnerLine_.setFont(headerFont);
    winnerLine_.setStyleSheet(QStringLiteral("color: #b01010"));
    layout->addWidget(&winnerLine_);
    layout->addWidget(&discarderLine_);
    layout->addWidget(hands_.get());
    // The score marks "Ⅹ" and "┼" are blank in some CJK fonts: take symbols
    // from DejaVu Sans and Chinese from the CJK font.
    QFont listFont = resultList_.font();
    listFont.setFamilies(QStringList{QStringLiteral("DejaVu Sans")} + platform::CjkFamilies());
    resultList_.setFont(listFont);
    resultList_.setColumnCount(4);
    QStringList titles;
    for (const char* title : kWinResultColumns) titles << QString::fromUtf8(title);
    resultList_.setHorizontalHeaderLabels(titles);
    resultList_.setRowCount(4);
    resultList_.verticalHeader()->hide();
    resultList_.horizontalHeader()->setStretchLastSection(true);
    resultList_.setEditTriggers(QAbstractItemView::NoEditTriggers);
    resultList_.setColumnWidth(0, 110);
    resultList_.setColumnWidth(1, 80);
    resultList_.setColumnWidth(2, 80);
    resultList_.setMinimumWidth(620);
    resultList_.verticalHeader()->setDefaultSectionSize(28);
    resultList_.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    resultList_.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    resultList_.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    resultList_.setFixedHeight(4 * 28 + resultList_.horizontalHeader()->sizeHint().height() +
                               2 * resultList_.frameWidth());
    layout->addWidget(&resultList_);
    layout->addWidget(&closeButton_, 0, Qt::AlignHCenter);
    connect(&closeButton_, &QPushButton::clicked, this, &QDialog::close);
    for (QWidget* focusable :
         {static_cast<QWidget*>(&resultList_), static_cast<QWidget*>(&closeButton_)})
        focusable->installEventFilter(this);
    closeTimer_.setInterval(1000);
    connect(&closeTimer_, &QTimer::timeout, this, &frmHuPaiResult::OnTimerTick);
    resize(760, 420);
}

frmHuPaiResult::~frmHuPaiResult() = default;

void frmHuPaiResult::ProcessHuResultData(const WinRecord& record, const std::string& gameTitle,
                                         const std::array<std::string, 4>& playerNames,
                                         std::optional<std::uint8_t> wildTile) {
    const WinHeader header = BuildWinHeader(record, gameTitle, playerNames);
    setWindowTitle(FromUtf8(header.caption));
    winnerLine_.setText(FromUtf8(header.winnerLine));
    discarderLine_.setText(FromUtf8(header.discarderLine));
    const auto items = BuildItemTexts(record);
    for (int chair = 0; chair < 4; ++chair) {
        resultList_.setItem(chair, 0, new QTableWidgetItem(FromUtf8(playerNames[chair])));
        resultList_.setItem(chair, 1,
                            new QTableWidgetItem(QString::number(record.actualScore[chair])));
        resultList_.setItem(chair, 2,
                            new QTableWidgetItem(QString::number(record.dueScore[chair])));
        resultList_.setItem(chair, 3, new QTableWidgetItem(FromUtf8(items[chair])));
    }
    hands_->SetRecord(record, playerNames, wildTile);
    // Heard by a screen reader as the window opens, with the keys it takes.
    setAccessibleDescription(winnerLine_.text() +
                             (discarderLine_.text().isEmpty()
                                  ? QString()
                                  : QStringLiteral("，") + discarderLine_.text()) +
                             QStringLiteral("。按 S 开始下一局，按 Enter 或 Esc 关闭。"));
    adjustSize();
    secondsLeft_ = kWinResultSeconds;
    closeTimer_.start();
}

std::vector<frmHuPaiResult::PaintedLabel> frmHuPaiResult::PaintedWildLabels() const {
    return hands_->PaintedLabels();
}

void frmHuPaiResult::done(int result) {
    const bool returnKeyboard = HoldsKeyboard();
    QDialog::done(result);
    if (!returnKeyboard || !table_) return;
    table_->activateWindow();
    table_->setFocus(Qt::ActiveWindowFocusReason);
}

bool frmHuPaiResult::HoldsKeyboard() const {
    const QWidget* focus = QApplication::focusWidget();
    return isActiveWindow() || (focus && (focus == this || isAncestorOf(focus)));
}

void frmHuPaiResult::keyPressEvent(QKeyEvent* event) {
    if (!HandleKey(*event)) QDialog::keyPressEvent(event);
}

bool frmHuPaiResult::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && HandleKey(static_cast<QKeyEvent&>(*event)))
        return true;
    return QDialog::eventFilter(watched, event);
}

// True when the key was used: it closed the window or the table took it.
bool frmHuPaiResult::HandleKey(QKeyEvent& event) {
    if (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    switch (event.key()) {
        case Qt::Key_Escape:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            close();
            return true;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Space:
            return false;  // moving about in the window, pressing its button
        default:
            break;
    }
    if (!table_) return false;
    QKeyEvent forwarded(event.type(), event.key(), event.modifiers(), event.text(),
                        event.isAutoRepeat(), static_cast<quint16>(event.count()));
    QCoreApplication::sendEvent(table_, &forwarded);
    return forwarded.isAccepted();
}

void frmHuPaiResult::OnTimerTick() {
    --secondsLeft_;
    closeButton_.setText(FromUtf8(CloseButtonCaption(secondsLeft_)));
    if (secondsLeft_ <= 0) {
        closeTimer_.stop();
        close();
    }
}

}  // namespace qira::play
