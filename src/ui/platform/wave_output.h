#pragma once

#include <QString>

namespace qira::platform {

// The sound library's half of WavePlayer. It lives in a module of its own
// (libqira_wave_output.so, the only code linked with Qt Multimedia) that
// WavePlayer loads when the first sound plays, so a client that plays no
// sound never maps the media framework and its codec libraries.
class WaveOutput {
public:
    WaveOutput() = default;
    WaveOutput(const WaveOutput&) = delete;
    WaveOutput& operator=(const WaveOutput&) = delete;
    virtual ~WaveOutput() = default;

    virtual bool HasOutputDevice() const = 0;
    // Stops the sound still playing and starts `path`, without waiting.
    virtual void Play(const QString& path) = 0;
    virtual void Stop() = 0;
};

inline constexpr char kWaveOutputModule[] = "libqira_wave_output.so";
// The module's entry, `extern "C" WaveOutput* qira_create_wave_output()`: a
// new output that the caller owns.
inline constexpr char kCreateWaveOutput[] = "qira_create_wave_output";

}  // namespace qira::platform
