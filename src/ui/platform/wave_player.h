#pragma once

#include <QSoundEffect>
#include <QString>

namespace qira::platform {

// Plays wave files one at a time, without waiting: starting a sound stops the
// one still playing. A missing file, or a machine without an audio output,
// plays nothing.
class WavePlayer {
public:
    enum class Outcome { Started, NoFile, NoOutputDevice };

    Outcome PlayWave(const QString& path);
    void Stop() { effect_.stop(); }

private:
    QSoundEffect effect_;
};

}  // namespace qira::platform
