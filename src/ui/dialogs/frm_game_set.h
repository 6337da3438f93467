#pragma once

#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <array>
#include <functional>
#include <span>

#include "dialogs/game_set.h"

namespace qira::dialogs {

// The table-settings window over GameSetModel. Create it with new: it
// deletes itself once it has answered.
class frmGameSet : public QDialog {
    Q_OBJECT
public:
    using RequestSink = std::function<void(std::span<const std::uint8_t> bteCmd)>;
    using WarningBox =
        std::function<void(QWidget* parent, const QString& caption, const QString& text)>;

    // `SendGameSetResult` receives the one request the window answers with.
    frmGameSet(const std::string& strGameTitle, std::string strUserName,
               RequestSink SendGameSetResult, QWidget* parent = nullptr);

    // Prepares the window for the owner (true) or another player and loads
    // the settings. False when the text does not have six fields: the caller
    // then discards the window unseen.
    bool SetInitGameSetInfo(bool blnDeskMaster, std::string_view strAllGameSetInfo);

    // The validation warning; a system warning box unless a test replaces it.
    void SetWarningBox(WarningBox warningBox) { warningBox_ = std::move(warningBox); }
    // One countdown second, as the window's timer gives it.
    void OnDelayTick();

    const GameSetModel& Model() const { return model_; }

    QGroupBox famGameSet;
    std::array<QLineEdit, 2> txtUser;
    QLabel Label1;
    QLabel Label2;
    std::array<QPushButton, 2> cmdUser;
    QTimer tmrDelay;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override;

private:
    void OnButton(GameSetButton button);
    void Apply(const GameSetOutcome& outcome);
    void RefreshCaptions();
    void AnswerWithOfferedSettings();

    GameSetModel model_;
    std::array<QString, 2> offered_;  // the boxes as the server filled them
    RequestSink SendGameSetResult_;
    WarningBox warningBox_;
    bool answered_ = false;
};

}  // namespace qira::dialogs
