#pragma once

#include <QImage>
#include <QLabel>
#include <QObject>
#include <QTimer>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/desktop_client.h"
#include "replay/hand_replay.h"
#include "replay/review.h"

namespace qira::app {

// A logged hand on the table: the desktop client as an onlooker who sees all
// four hands, fed the hand's messages step by step. A step forward plays as
// the live hand did (animation, sounds, the win window); any other move
// rebuilds the table from the opening without them. The keys → and ← step,
// Home and End jump to the ends, Space plays and pauses.
class ReplayViewer final : public QObject {
public:
    struct Options {
        QSize screenSize{1280, 800};
        // How the animations wait; empty for the real clock.
        std::function<void(int milliseconds)> wait;
        int playIntervalMs = 1500;  // one step while playing
        // Holds "Res/": beside the program in a build tree, the installed
        // data folder otherwise.
        std::string dataFolder;
    };

    ReplayViewer(replay::HandReplay replay, Options options);
    ~ReplayViewer() override;

    FrmGameMain& window() { return client_->window(); }
    DesktopClient& client() { return *client_; }
    const replay::HandReplay& replay() const { return replay_; }

    std::size_t step() const { return step_; }
    // Shows step n (clamped to the last); one step forward plays, any other
    // move is rebuilt quietly.
    void GoTo(std::size_t n);
    // Shows step n (clamped) rebuilt from the opening without animation,
    // sounds or message boxes; a picture of a position starts here.
    void ShowRebuilt(std::size_t n);
    void StepForward();
    void StepBack();
    void GoToStart() { GoTo(0); }
    void GoToEnd();
    void TogglePlaying();
    bool playing() const { return playTimer_.isActive(); }

    // Shows, beside each step, the review's decision made from it.
    void SetReview(replay::Review review);
    // The step counter's text as shown.
    QString CounterText() const;
    // The whole window as it looks now.
    QImage Snapshot();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::size_t Target() const;
    void Feed(const replay::ReplayStep& step);
    void Rebuild(std::size_t n);
    void PlayNext(std::size_t n);
    void CloseWinWindows();
    void RepaintOpenHands();
    void UpdateCounter();
    void PlaceCounter();

    replay::HandReplay replay_;
    Options options_;
    replay::OpenHands hands_;
    bool quiet_ = false;
    bool busy_ = false;
    std::optional<std::size_t> pending_;
    std::size_t step_ = 0;
    std::unique_ptr<DesktopClient> client_;
    QLabel* counter_ = nullptr;  // owned by the game area
    QTimer playTimer_;
    std::optional<replay::Review> review_;
};

// The globals of a replay's client: the program folder for the artwork, the
// viewer's name, no server.
launch::ClientGlobals ReplayGlobals(const std::string& programFolder);

}  // namespace qira::app
