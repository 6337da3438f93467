#pragma once

#include <QString>
#include <memory>

#include "ui/platform/wave_output.h"

namespace qira::platform {

// Whether a sound server may answer this program: one is named (PULSE_SERVER,
// or default-server in a client.conf), its socket exists (the user's, a
// system-wide one, or the old per-machine one under ~/.config/pulse), or one
// may be started on demand (a pulseaudio program on PATH for a user other
// than root, which the sound library starts itself). Without any of these the
// sound library could find no output, so it is not worth loading.
bool SoundServerMayAnswer();

// Plays wave files one at a time, without waiting: starting a sound stops the
// one still playing. A missing file, or a machine without an audio output,
// plays nothing. The sound library is loaded with the first file that
// exists, when a sound server may answer, and not before (see WaveOutput).
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
