#pragma once

#include <functional>
#include <string>

#include "play/session_interfaces.h"

namespace qira::render {

// `PlayGameSound`: the state sounds and tile voices, played only while the
// main window is visible and the user's sound preference is on. The wave
// output itself is handed in (it stops a sound still playing, and plays
// nothing without an output device); a missing file plays nothing.
class GameSoundPlayer final : public play::SoundPlayer {
public:
    struct Hooks {
        std::function<bool()> windowVisible;
        std::function<bool()> soundOn;
        std::function<void(const std::string& file)> playWave;
    };

    // `appPath` is the program's folder, ending in "/".
    GameSoundPlayer(std::string appPath, Hooks hooks);

    void PlayGameSound(play::StateSound sound) override;
    void PlayTileSound(play::Tile tile) override;

private:
    void Play(bool isTile, int code);

    std::string appPath_;
    Hooks hooks_;
};

}  // namespace qira::render
