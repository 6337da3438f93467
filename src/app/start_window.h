#pragma once

#include <QDialog>
#include <QString>
#include <vector>

#include "launch/start_settings.h"
#include "replay/my_record.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTableWidget;
class QTcpSocket;
class QTimer;
class QVBoxLayout;

namespace qira::app {

// qira-launch's start window, shown when it starts without a server named:
// the player's name above four tabs. "单机游戏" starts a game against computer
// players of the chosen level on a local server; "加入游戏" joins a server
// (one of the last used, or typed), after trying that it answers; "我的牌局"
// lists the player's hands from the local server's database and opens one in
// qira-replay; "战绩" draws the record. Everything chosen is remembered.
class StartWindow : public QDialog {
public:
    enum class Choice { None, LocalGame, JoinServer };

    struct Sources {
        QString database;       // the local server's statistics database
        QString replayProgram;  // qira-replay
    };

    StartWindow(launch::StartSettings settings, Sources sources, QWidget* parent = nullptr);
    ~StartWindow() override;

    Choice choice() const { return choice_; }
    // The settings as the player left them (with the joined server first).
    const launch::StartSettings& settings() const { return settings_; }
    const launch::ServerEntry& server() const { return server_; }

    QTabWidget& tabs() const { return *tabs_; }
    QLineEdit& nameEdit() const { return *name_; }
    QPushButton& localButton() const { return *startLocal_; }
    QComboBox& hostBox() const { return *host_; }
    QSpinBox& portBox() const { return *port_; }
    QCheckBox& frontDoorBox() const { return *frontDoor_; }
    QPushButton& joinButton() const { return *join_; }
    QLabel& joinStatus() const { return *joinStatus_; }
    QTableWidget& handList() const { return *hands_; }
    QPushButton& replayButton() const { return *replay_; }
    QPushButton& reviewButton() const { return *review_; }
    const replay::MyRecord& record() const { return record_; }

    // Reads the player's hands again (shown when the tab is opened).
    void LoadHands();
    // The command line that opens the selected hand: the program's arguments;
    // `review`: with the review of the player's decisions beside each step.
    QStringList ReplayArguments(bool review = false) const;

    void done(int result) override;  // remembers the choices however the window closes

private:
    QWidget* BuildLocalTab();
    QWidget* BuildJoinTab();
    QWidget* BuildHandsTab();
    QWidget* BuildRecordTab();
    void FillHostsFromRemembered();
    void PickRemembered(int index);
    void TryServer();
    void JoinFailed(const QString& reason);
    void OpenSelectedHand(bool review = false);
    void DrawRecord();
    void Remember();

    launch::StartSettings settings_;
    Sources sources_;
    Choice choice_ = Choice::None;
    launch::ServerEntry server_;
    std::vector<replay::MyHand> myHands_;
    replay::MyRecord record_;

    QTabWidget* tabs_;  // every widget is owned by the window
    QLineEdit* name_;
    QButtonGroup* levels_ = nullptr;
    QPushButton* startLocal_ = nullptr;
    QComboBox* host_ = nullptr;
    QSpinBox* port_ = nullptr;
    QCheckBox* frontDoor_ = nullptr;
    QPushButton* join_ = nullptr;
    QLabel* joinStatus_ = nullptr;
    QTcpSocket* probe_ = nullptr;
    QTimer* probeTimeout_ = nullptr;
    QTableWidget* hands_ = nullptr;
    QLabel* handsNote_ = nullptr;
    QPushButton* replay_ = nullptr;
    QPushButton* review_ = nullptr;
    QVBoxLayout* recordLayout_ = nullptr;
    QWidget* recordCharts_ = nullptr;
};

}  // namespace qira::app
