#pragma once

#include <QImage>
#include <functional>
#include <memory>
#include <string>

#include "play/session_interfaces.h"
#include "ui/render/discard_animation_player.h"
#include "ui/render/table_canvas.h"

namespace qira::render {

// The blocking displays on the table: the dice roll and the discard zoom.
// Both keep window events flowing while they wait.
class TableDisplay final : public play::ActionDisplay {
public:
    struct Hooks {
        // Waits this many milliseconds; by default a loop on the clock that
        // processes window events and ends the program once it is quitting.
        std::function<void(int milliseconds)> wait;
        // A number from `low` to `high`, both included.
        std::function<int(int low, int high)> random;
        std::function<bool()> quitting;
        // The program's exit status when a wait ends it (0 without the hook).
        std::function<int()> exitStatus;
        std::function<void()> closeChowChooser;
        // True while nothing is to be shown growing or rolling: both displays
        // then return at once (a replay rebuilding a position).
        std::function<bool()> instant;
    };

    // The folders are the program's and its parent, each ending in "/".
    TableDisplay(TableCanvas& canvas, std::string appPath, std::string parentPath, Hooks hooks);
    ~TableDisplay() override;

    void PlayDiscardAnimation(std::uint8_t position, play::ActionCode code,
                              play::Tile tile) override;
    // Tumbles the die over the middle of the table and shows `value` for two
    // seconds; values outside 1-6 show nothing.
    void RollDice(std::uint8_t value) override;

private:
    bool ShowDieFace(const std::string& path);
    void Wait(int milliseconds);
    bool Instant() const;

    TableCanvas& canvas_;
    std::string appPath_;
    std::string parentPath_;
    Hooks hooks_;
    std::unique_ptr<DiscardAnimationPlayer> player_;
};

}  // namespace qira::render
