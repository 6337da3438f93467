// The module WavePlayer loads on the first sound: wave files played through
// Qt Multimedia's sound effect.
#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

#include "ui/platform/wave_output.h"

namespace qira::platform {
namespace {

class SoundEffectOutput final : public WaveOutput {
public:
    bool HasOutputDevice() const override { return !QMediaDevices::audioOutputs().isEmpty(); }

    void Play(const QString& path) override {
        effect_.stop();
        effect_.setSource(QUrl::fromLocalFile(path));
        effect_.play();
    }

    void Stop() override { effect_.stop(); }

private:
    QSoundEffect effect_;
};

}  // namespace
}  // namespace qira::platform

// A C entry so that it can be looked up by name; the caller takes ownership
// at once (WavePlayer keeps it in a unique_ptr).
extern "C" __attribute__((visibility("default"))) qira::platform::WaveOutput*
qira_create_wave_output() {
    return new qira::platform::SoundEffectOutput;
}
