#pragma once

#include <QString>
#include <memory>

#include "ui/platform/wave_output.h"

namespace qira::platform {

// Plays wave files one at a time, without waiting: starting a sound stops the
// one still playing. A missing file, or a machine without an audio output,
// plays nothing. The sound library is loaded with the first file that
// exists, not before (see WaveOutput).
class WavePlayer {
public:
    enum class Outcome { Started, NoFile, NoOutputDevice, NoSoundLibrary };

    WavePlayer();
    ~WavePlayer();
    WavePlayer(const WavePlayer&) = delete;
    WavePlayer& operator=(const WavePlayer&) = delete;

    Outcome PlayWave(const QString& path);
    void Stop();

private:
    bool LoadOutput();

    std::unique_ptr<WaveOutput> output_;
    bool loadTried_ = false;
};

}  // namespace qira::platform
