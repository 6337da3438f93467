#pragma once

#include <QDialog>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <array>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "play/win_record.h"

namespace qira::play {

class WinnerHandsView;

// The win result: header lines, one row per chair with its scores and score
// items, and the winners' hands in tile pictures. Closes itself after a minute.
//
// It stands over the table between hands without taking the table's keys:
// Enter and Esc close it, Tab and the arrows move about in it, and every other
// key goes to the table (S starts the next hand). Whenever it closes holding
// the keyboard, the table gets the keyboard back.
class frmHuPaiResult : public QDialog {
    Q_OBJECT
public:
    explicit frmHuPaiResult(QString sharedFolder, QWidget* owner = nullptr);
    ~frmHuPaiResult() override;

    // Fills the window from a decoded win record and starts its countdown.
    // With the hand's wild tile each winner's hand is also shown grouped into
    // its sets, every wild tile labelled with what it stood for.
    void ProcessHuResultData(const WinRecord& record, const std::string& gameTitle,
                             const std::array<std::string, 4>& playerNames,
                             std::optional<std::uint8_t> wildTile = std::nullopt);

    // Advances the close countdown by one second, as the window's timer does.
    void OnTimerTick();

    // The table behind the window, which its keys go to.
    void SetTable(QWidget* table) { table_ = table; }
    void done(int result) override;

    QString WinnerLine() const { return winnerLine_.text(); }
    QString DiscarderLine() const { return discarderLine_.text(); }
    QString CloseCaption() const { return closeButton_.text(); }
    const QTableWidget& ResultList() const { return resultList_; }

    // The wild-tile labels drawn by the last paint, in window coordinates.
    struct PaintedLabel {
        QRect rect;
        QString text;
    };
    std::vector<PaintedLabel> PaintedWildLabels() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool HandleKey(QKeyEvent& event);
    bool HoldsKeyboard() const;

    QString sharedFolder_;
    QPointer<QWidget> table_;
    QLabel winnerLine_;
    QLabel discarderLine_;
    QTableWidget resultList_;
    std::unique_ptr<WinnerHandsView> hands_;
    QPushButton closeButton_;
    QTimer closeTimer_;
    int secondsLeft_ = kWinResultSeconds;
};

}  // namespace qira::play
