#include "app/desktop_client.h"

#include <QApplication>
#include <QCursor>
#include <QMessageBox>
#include <QScreen>

#include "players/user_list.h"
#include "ui/dialogs/frm_game_set.h"
#include "ui/dialogs/frm_msg.h"
#include "ui/dialogs/frm_user_menu.h"
#include "ui/dialogs/frm_user_set.h"
#include "ui/play/frm_hu_pai_result.h"
#include "ui/play/frm_shun_zi.h"
#include "ui/render/game_area_widget.h"

namespace qira::app {

namespace {

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The clock stands for the darkness of its colour only; the warning turns it black.
constexpr int kClockWarningSeconds = 5;

}  // namespace

// Every interface of the session's host, each over the widget that shows it.
class DesktopClient::Views final : public play::RequestSender,
                                   public play::TurnClock,
                                   public play::TimerControl,
                                   public play::MessageBoxService,
                                   public play::GameSetDialog,
                                   public play::WinResultView,
                                   public play::ChowChooser,
                                   public play::MainWindow,
                                   public play::ItemStore,
                                   public play::PreferenceSource {
public:
    explicit Views(DesktopClient& client)
        : client_(client), userList(client.window_.lstUser()), chat(client.window_.TivChat()) {
        tmrStart_.setInterval(1000);
        tmrNewOutPai_.setInterval(300);
        QObject::connect(&tmrStart_, &QTimer::timeout,
                         [this] { client_.session().OnStartTimerTick(); });
        QObject::connect(&tmrNewOutPai_, &QTimer::timeout,
                         [this] { client_.session().OnNewestDiscardTick(); });
    }
    ~Views() override {
        delete gameSet_.data();
        delete winResult_.data();
    }

    // --- RequestSender ---
    void SendRequest(std::span<const std::uint8_t> message) override {
        if (client_.options_.send) client_.options_.send(message);
    }

    // --- TurnClock ---
    void Start(int seconds) override { Clock().StartClock(seconds, kClockWarningSeconds); }
    void Stop() override { Clock().Stop(); }
    void SetVisible(bool visible) override {
        Clock().setVisible(visible);
        if (visible) Clock().raise();
    }
    bool IsVisible() const override { return !client_.window_.YuClock().isHidden(); }
    void SetTag(int tag) override { Clock().SetTag(tag); }
    int Tag() const override { return client_.window_.YuClock().Tag(); }
    void MoveTo(int tag) override {
        const render::Point place = client_.canvas_.ClockPlaceForTag(tag);
        Clock().move(place.x, place.y);
    }
    void SetColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue) override {
        Clock().SetColour(QColor(red, green, blue));
    }

    // --- TimerControl ---
    void SetTimerRunning(play::SessionTimer timer, bool running) override {
        QTimer& chosen = timer == play::SessionTimer::Start ? tmrStart_ : tmrNewOutPai_;
        if (running && !chosen.isActive()) chosen.start();
        if (!running) chosen.stop();
    }

    // --- MessageBoxService ---
    bool ShowGlobalMsg(const play::GlobalMsg& message) override {
        if (client_.Quiet())
            return message.type != play::MsgType::Notice &&
                   (message.type == play::MsgType::OneButton || message.yesDefault);
        dialogs::MsgInfo info;
        info.bteMsgType = message.type;
        info.strNote = message.note;
        info.strCaption = message.caption;
        info.strYesCmdCaption = message.yesCaption;
        info.strNoCmdCaption = message.noCaption;
        info.lngMaxDelayTime = message.maxDelaySeconds;
        info.blnYesDefault = message.yesDefault;
        return client_.msgRegistry_.ShowGlobalMsg(message.roomObjectIdx, info);
    }
    void UnloadRoomMsgObjects(std::int32_t key) override {
        client_.msgRegistry_.UnloadRoomMsgObjects(key);
    }
    void InitGlobalMsgObject() override {
        client_.msgRegistry_.InitGlobalMsgObject(client_.parentPath_);
    }
    void ShowPlatformWarning(std::string_view caption, std::string_view text) override {
        QMessageBox box(QMessageBox::Warning, FromUtf8(caption), FromUtf8(text), QMessageBox::Ok,
                        &client_.window_);
        box.exec();
    }

    // --- GameSetDialog ---
    void LoadGameSet() override {
        delete gameSet_.data();
        const auto& globals = client_.session().globals();
        gameSet_ = new dialogs::frmGameSet(
            globals.launch.strGameTitle, globals.strUserName(),
            [this](std::span<const std::uint8_t> request) {
                client_.session().SendGameSetResult(request);
            },
            &client_.window_);
    }
    bool SetInitGameSetInfo(bool deskMaster, std::string_view allGameSetInfo) override {
        return gameSet_ && gameSet_->SetInitGameSetInfo(deskMaster, allGameSetInfo);
    }
    void ShowGameSet() override {
        if (gameSet_) gameSet_->show();
    }
    void UnloadGameSet() override { delete gameSet_.data(); }

    // --- WinResultView ---
    void LoadHuResult() override {
        delete winResult_.data();
        winResult_ =
            new play::frmHuPaiResult(QString::fromStdString(client_.parentPath_), &client_.window_);
        winResult_->SetTable(&client_.window_.picGameBack());
    }
    void ProcessHuResultData(const play::WinRecord& record) override {
        if (!winResult_) return;
        const auto& session = client_.session();
        std::array<std::string, 4> names;
        for (std::size_t chair = 0; chair < names.size(); ++chair)
            names[chair] = session.table().Seats[chair].strPlayerName;
        winResult_->ProcessHuResultData(record, session.globals().launch.strGameTitle, names,
                                        session.table().bytWildTile);
    }
    void ShowHuResultCentred() override {
        if (!winResult_) return;
        winResult_->adjustSize();
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        winResult_->move(screen.center() - winResult_->rect().center());
        winResult_->show();
        // Without a window manager nothing else gives it the keyboard.
        winResult_->activateWindow();
    }
    void CloseHuResult() override {
        if (winResult_) winResult_->close();
    }

    // --- ChowChooser ---
    play::Tile ChooseChow(std::span<const play::Tile> choices) override {
        play::frmShunZi chooser({choices.begin(), choices.end()},
                                QString::fromStdString(client_.parentPath_), &client_.window_);
        chowChooser_ = &chooser;
        chooser.exec();
        return chooser.bytChosenChow();
    }
    // Play moved on while the chooser was open: it closes with the choice
    // selected, which the session then checks against the turn.
    void CloseChowChooser() {
        if (chowChooser_) chowChooser_->accept();
    }

    // --- MainWindow ---
    void SetMainWindowHidden(bool hidden) override { client_.window_.setHidden(hidden); }
    void RepaintWindow() override { client_.window_.update(); }
    void UnloadMainWindow() override { client_.window_.UnloadMainWindow(); }

    // --- ItemStore ---
    void LoadDaoJuInfo(std::string_view catalogueText) override {
        client_.items_.LoadDaoJuInfo(catalogueText);
    }
    void LoadMyDaoJu(std::string_view ownItemsText) override {
        client_.items_.LoadMyDaoJu(ownItemsText);
    }

    // --- PreferenceSource ---
    bool AllowWatchCards() const override { return client_.preferences_.bytAllowWatchCards != 0; }
    bool ShowInOut() const override { return client_.preferences_.bytShowInOut != 0; }
    bool QuitPrompt() const override { return client_.preferences_.bytQuitPrompt != 0; }
    bool WrongOutPrompt() const override { return client_.preferences_.bytWrongOutPrompt != 0; }
    bool DiscardHint() const override { return client_.preferences_.bytDiscardHint != 0; }
    bool StrongHint() const override { return client_.preferences_.bytStrongHint != 0; }

    // The user list and the chat pane speak the session's language directly.
    class UserList final : public play::UserListPane {
    public:
        explicit UserList(platform::UserListWidget& list) : list_(list) {}
        void SetLocalUserName(std::string_view name) override { list_.SetLocalUserName(name); }
        void AddUser(std::string_view record) override { list_.AddUser(record); }
        void RemoveUser(std::string_view name) override { list_.RemoveUser(name); }
        std::string FindUser(std::string_view name) const override { return list_.FindUser(name); }
        void RefreshUser(std::string_view record) override { list_.RefreshUser(record); }
        void ClearUsers() override { list_.ClearUsers(); }
        std::vector<std::string> LoadWholeList(std::string_view text) override {
            return list_.LoadWholeList(text);
        }

    private:
        platform::UserListWidget& list_;
    };

    class Chat final : public play::ChatPane {
    public:
        explicit Chat(platform::ChatWidget& chat) : chat_(chat) {}
        void SetLocalUserName(std::string_view name) override { chat_.SetLocalUserName(name); }
        void ShowSystemLine(std::string_view text) override { chat_.ShowSystemLine(text); }
        void ShowLine(std::string_view text) override { chat_.ShowLine(text); }
        void ShowChatMessage(std::span<const std::string> fields) override {
            chat_.ShowChatMessage(fields);
        }
        void ChangeChatTarget(play::ChatTargetAction action, std::string_view name) override {
            chat_.ChangeChatTarget(action == play::ChatTargetAction::Add
                                       ? platform::ChatWidget::TargetAction::Add
                                       : platform::ChatWidget::TargetAction::Remove,
                                   name);
        }
        void SetCurrentTarget(std::string_view name) override { chat_.SetCurrentTarget(name); }
        void ClearChat() override { chat_.ClearChat(); }

    private:
        platform::ChatWidget& chat_;
    };

private:
    DesktopClient& client_;

public:
    UserList userList;
    Chat chat;

private:
    platform::TurnClockWidget& Clock() { return client_.window_.YuClock(); }

    QTimer tmrStart_;
    QTimer tmrNewOutPai_;
    QPointer<dialogs::frmGameSet> gameSet_;
    QPointer<play::frmHuPaiResult> winResult_;
    QPointer<play::frmShunZi> chowChooser_;
};

// The table's displays, with the vertical splitter held still while a discard
// grows on the table: a new split would move the table under the animation.
class DesktopClient::LockingDisplay final : public play::ActionDisplay {
public:
    LockingDisplay(play::ActionDisplay& inner, platform::VSplitterBar& splitter)
        : inner_(inner), splitter_(splitter) {}
    void PlayDiscardAnimation(std::uint8_t position, play::ActionCode code,
                              play::Tile tile) override {
        splitter_.SetLocked(true);
        inner_.PlayDiscardAnimation(position, code, tile);
        splitter_.SetLocked(false);
    }
    void RollDice(std::uint8_t value) override { inner_.RollDice(value); }

private:
    play::ActionDisplay& inner_;
    platform::VSplitterBar& splitter_;
};

DesktopClient::DesktopClient(launch::ClientGlobals globals, Options options)
    : appPath_(globals.strAppPath),
      parentPath_(globals.strParentPath),
      options_(std::move(options)),
      settingsPath_(options_.settingsFolder.empty() ? appPath_ : options_.settingsFolder),
      preferences_(dialogs::LoadUserSet(settingsPath_)),
      window_(globals, options_.screenSize) {
    msgService_ = std::make_unique<dialogs::MsgService>(msgRegistry_, &window_);
    msgRegistry_.InitGlobalMsgObject(parentPath_);
    items_.SetAppPath(appPath_);
    views_ = std::make_unique<Views>(*this);

    render::GameSoundPlayer::Hooks soundHooks;
    soundHooks.windowVisible = [this] { return window_.isVisible(); };
    soundHooks.soundOn = [this] { return preferences_.bytSoundOn != 0 && !Quiet(); };
    soundHooks.playWave = [this](const std::string& file) {
        window_.wavePlayer().PlayWave(QString::fromStdString(file));
    };
    sounds_ = std::make_unique<render::GameSoundPlayer>(appPath_, std::move(soundHooks));

    render::TableDisplay::Hooks displayHooks;
    displayHooks.wait = options_.wait;
    displayHooks.quitting = [this] { return session_ && session_->ended(); };
    displayHooks.exitStatus = [this] { return session_ ? launch::StatusOf(session_->exit()) : 0; };
    displayHooks.closeChowChooser = [this] { views_->CloseChowChooser(); };
    displayHooks.instant = [this] { return Quiet(); };
    display_ = std::make_unique<render::TableDisplay>(canvas_, appPath_, parentPath_,
                                                      std::move(displayHooks));

    lockingDisplay_ = std::make_unique<LockingDisplay>(*display_, window_.picSplitter());
    Views& views = *views_;
    session_ = std::make_unique<play::ClientSession>(
        std::move(globals), appPath_,
        play::SessionHost{views, canvas_, *lockingDisplay_, *sounds_, views, views, views,
                          views.userList, views.chat, views, views, views, views, views, views});
    canvas_.SetSources(
        {&session_->table(), &session_->globals(), &session_->turn(), &session_->offer()});
    canvas_.SetTurnClock(&window_.YuClock());

    render::GameAreaWidget::Handlers handlers;
    handlers.handTileClick = [this](int index, play::MouseButton button) {
        session_->OnHandTileClick(index, button);
    };
    handlers.actionButton = [this](int index, play::MouseButton button) {
        session_->OnActionButton(index, button);
    };
    handlers.gameButtonClick = [this](int index) { session_->OnGameButtonClick(index); };
    handlers.startClick = [this] { session_->OnStartButtonClick(); };
    handlers.discardTurn = [this]() -> std::uint64_t {
        return session_->MayDiscardNow() ? session_->evaluationSerial() : 0;
    };
    auto area = std::make_unique<render::GameAreaWidget>(canvas_, std::move(handlers));
    session_->SetAnnouncer([gameArea = area.get()](const std::string& words) {
        gameArea->Announce(QString::fromStdString(words));
    });
    session_->SetRefusalListener([gameArea = area.get()](const std::string& why) {
        gameArea->ShowRefusal(QString::fromStdString(why));
    });
    window_.SetGameArea(std::move(area));
    ConnectWindowEvents();
}

DesktopClient::~DesktopClient() {
    // Boxes still open refer to the registry; close them before it goes.
    msgRegistry_.UnloadRoomMsgObjects(0);
}

void DesktopClient::ConnectWindowEvents() {
    MainWindowHooks hooks;
    hooks.closeRequested = [this] { return session_->OnCloseRequested(); };
    hooks.openPreferences = [this] { OpenPreferences(); };
    window_.SetHooks(std::move(hooks));

    QObject::connect(
        &window_, &FrmGameMain::ChatSendRequested,
        [this](const std::vector<std::string>& fields) { session_->OnChatSend(fields); });
    QObject::connect(&window_.lstUser(), &platform::UserListWidget::UserActivated,
                     [this](bool menuRequest, const QString& name, const QString& record) {
                         if (menuRequest)
                             PopUpUserMenu(record);
                         else
                             session_->OnUserActivated(name.toStdString());
                     });
    QObject::connect(&window_.YuClock(), &platform::TurnClockWidget::Warning,
                     [this] { session_->OnClockWarning(); });
    QObject::connect(&window_.YuClock(), &platform::TurnClockWidget::TimedOut,
                     [this] { session_->OnClockTimeout(); });
}

void DesktopClient::OpenPreferences() {
    // One preferences window at a time: a second click brings it forward.
    if (!preferencesWindow_) {
        preferencesWindow_ = new dialogs::frmUserSet(
            preferences_, settingsPath_, session_->globals().strUserName(),
            [this](std::span<const std::uint8_t> request) { views_->SendRequest(request); },
            &window_);
    }
    preferencesWindow_->show();
    preferencesWindow_->raise();
    preferencesWindow_->activateWindow();
}

void DesktopClient::PopUpUserMenu(const QString& record) {
    auto* menu = dialogs::frmUserMenu::PopUp(record.toStdString(), session_->globals(),
                                             QCursor::pos(), &window_);
    if (!menu) return;
    const players::UserMenu items = menu->Menu();
    QObject::connect(menu, &dialogs::frmUserMenu::itemChosen, [this, items](int index) {
        // ExecUserMenu: only "与他（她）交谈" does something.
        if (const auto name = players::ExecUserMenu(items, index)) session_->OnUserActivated(*name);
    });
}

}  // namespace qira::app
