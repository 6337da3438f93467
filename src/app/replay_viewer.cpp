#include "app/replay_viewer.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <algorithm>

#include "net/server_messages.h"
#include "ui/play/frm_hu_pai_result.h"

namespace qira::app {

namespace {

constexpr const char* kKeysHelp = "→/← 单步　Home/End 开头/结尾　空格 播放/暂停";

}  // namespace

launch::ClientGlobals ReplayGlobals(const std::string& programFolder) {
    launch::ClientGlobals globals;
    globals.launch.strGameTitle = "Qira麻将";
    globals.launch.strUserName = replay::HandReplay::kViewerName;
    globals.ResetGlobals(programFolder);
    return globals;
}

ReplayViewer::ReplayViewer(replay::HandReplay replay, Options options)
    : replay_(std::move(replay)), options_(std::move(options)) {
    DesktopClient::Options clientOptions;
    clientOptions.screenSize = options_.screenSize;
    clientOptions.wait = options_.wait;
    clientOptions.quiet = [this] { return quiet_; };
    // Nothing is sent anywhere: there is no server.
    clientOptions.send = [](std::span<const std::uint8_t>) {};
    const std::string dataFolder =
        options_.dataFolder.empty() ? launch::ExecutableFolder() : options_.dataFolder;
    client_ = std::make_unique<DesktopClient>(ReplayGlobals(dataFolder), std::move(clientOptions));
    auto sources = client_->canvas().sources();
    sources.openHands = &hands_;
    client_->canvas().SetSources(sources);

    counter_ = new QLabel(&window().picGameBack());
    counter_->setObjectName(QStringLiteral("replayCounter"));
    counter_->setStyleSheet(QStringLiteral(
        "QLabel { color: white; background: rgba(0, 0, 0, 150); padding: 3px 6px; }"));
    counter_->setAccessibleName(QStringLiteral("回放进度"));

    playTimer_.setInterval(options_.playIntervalMs);
    QObject::connect(&playTimer_, &QTimer::timeout, this, [this] {
        if (busy_) return;
        if (step_ >= replay_.StepCount()) {
            playTimer_.stop();
            UpdateCounter();
            return;
        }
        StepForward();
    });
    qApp->installEventFilter(this);
    window().setWindowTitle(QStringLiteral("Qira麻将 回放 第 %1 局").arg(replay_.hand().id));
    Rebuild(0);
}

ReplayViewer::~ReplayViewer() {
    qApp->removeEventFilter(this);
}

void ReplayViewer::GoTo(std::size_t n) {
    n = std::min(n, replay_.StepCount());
    if (busy_) {
        pending_ = n;  // taken up when the step under way has been shown
        return;
    }
    if (n == step_ + 1)
        PlayNext(n);
    else
        Rebuild(n);
    while (pending_) {
        const std::size_t next = *std::exchange(pending_, std::nullopt);
        if (next == step_ + 1)
            PlayNext(next);
        else if (next != step_)
            Rebuild(next);
    }
}

void ReplayViewer::ShowRebuilt(std::size_t n) {
    if (busy_) return;  // only ever asked for between steps
    Rebuild(std::min(n, replay_.StepCount()));
}

// Keys pressed while a step is shown count from where they will have led.
std::size_t ReplayViewer::Target() const {
    return pending_.value_or(step_);
}

void ReplayViewer::StepForward() {
    if (Target() < replay_.StepCount()) GoTo(Target() + 1);
}

void ReplayViewer::StepBack() {
    if (Target() > 0) GoTo(Target() - 1);
}

void ReplayViewer::GoToEnd() {
    // The last step is played, so that the hand ends as it did.
    const std::size_t last = replay_.StepCount();
    if (last > 0 && step_ + 1 < last) GoTo(last - 1);
    GoTo(last);
}

void ReplayViewer::TogglePlaying() {
    if (playing()) {
        playTimer_.stop();
    } else {
        if (step_ >= replay_.StepCount()) GoTo(0);
        playTimer_.start();
    }
    UpdateCounter();
}

void ReplayViewer::Feed(const replay::ReplayStep& step) {
    for (const auto& message : step.messages) client_->session().OnMessage(message);
}

void ReplayViewer::PlayNext(std::size_t n) {
    busy_ = true;
    hands_ = replay_.Step(n).hands;
    step_ = n;
    UpdateCounter();
    Feed(replay_.Step(n));
    RepaintOpenHands();
    busy_ = false;
}

void ReplayViewer::Rebuild(std::size_t n) {
    busy_ = true;
    quiet_ = true;
    CloseWinWindows();
    client_->session().OnMessage(net::server_messages::TableReset());
    for (std::size_t i = 0; i <= n; ++i) {
        hands_ = replay_.Step(i).hands;
        Feed(replay_.Step(i));
    }
    step_ = n;
    quiet_ = false;
    client_->canvas().PaintTable();
    UpdateCounter();
    busy_ = false;
}

void ReplayViewer::CloseWinWindows() {
    for (auto* result : window().findChildren<play::frmHuPaiResult*>()) {
        result->hide();
        result->deleteLater();
    }
}

// The session repaints the hands it knows have changed; a face-up hand can
// change where the session sees no change (another chair's draw).
void ReplayViewer::RepaintOpenHands() {
    auto& canvas = client_->canvas();
    for (play::Chair chair = 0; chair < rules::kChairCount; ++chair)
        if (chair != client_->session().table().bytMyChair) canvas.PaintHands(chair);
    canvas.PaintMoPai();
}

void ReplayViewer::SetReview(replay::Review review) {
    review_ = std::move(review);
    UpdateCounter();
}

QString ReplayViewer::CounterText() const {
    QString text = QString::fromStdString(replay_.Describe(step_));
    if (playing()) text += QStringLiteral("　（播放中）");
    if (review_)
        if (const std::string line = replay::ReviewLineAt(*review_, step_); !line.empty())
            text += QStringLiteral("\n") + QString::fromStdString(line);
    return text + QStringLiteral("\n") + QString::fromUtf8(kKeysHelp);
}

void ReplayViewer::UpdateCounter() {
    counter_->setText(CounterText());
    counter_->adjustSize();
    PlaceCounter();
    counter_->raise();
}

// Left, just above the bottom hand: the top player's name and the corners
// hold things a reader of the replay wants to see.
void ReplayViewer::PlaceCounter() {
    constexpr int kBottomHandHeight = 142;
    const QWidget* area = counter_->parentWidget();
    counter_->move(6, std::max(0, area->height() - kBottomHandHeight - counter_->height() - 10));
}

QImage ReplayViewer::Snapshot() {
    QImage picture = window().grab().toImage();
    // The win window is a window of its own; the picture shows it over the table.
    for (auto* result : window().findChildren<play::frmHuPaiResult*>()) {
        if (!result->isVisible()) continue;
        const QImage shown = result->grab().toImage();
        // Over the middle of the table, inside the picture.
        const QWidget& table = window().picGameBack();
        const QPoint centre = table.mapTo(&window(), table.rect().center());
        const int x = std::clamp(centre.x() - shown.width() / 2, 0,
                                 std::max(0, picture.width() - shown.width()));
        const int y = std::clamp(centre.y() - shown.height() / 2, 0,
                                 std::max(0, picture.height() - shown.height()));
        QPainter painter(&picture);
        painter.drawImage(QPoint(x, y), shown);
    }
    return picture;
}

bool ReplayViewer::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize && watched == counter_->parentWidget()) PlaceCounter();
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
    switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Right:
            StepForward();
            return true;
        case Qt::Key_Left:
            StepBack();
            return true;
        case Qt::Key_Home:
            GoToStart();
            return true;
        case Qt::Key_End:
            GoToEnd();
            return true;
        case Qt::Key_Space:
            TogglePlaying();
            return true;
        default:
            return false;
    }
}

}  // namespace qira::app
