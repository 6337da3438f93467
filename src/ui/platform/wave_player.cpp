#include "ui/platform/wave_player.h"

#include <QFileInfo>
#include <QLibrary>
#include <QStringList>

#include "launch/globals.h"
#include "qira_build.h"

namespace qira::platform {

namespace {

using CreateWaveOutput = WaveOutput* (*)();

// Beside the program in a build tree; in the installed modules folder
// otherwise.
QStringList ModuleCandidates() {
    const QString programFolder = QString::fromStdString(launch::ExecutableFolder());
    const QString module = QLatin1String(kWaveOutputModule);
    return {programFolder + module,
            programFolder + QStringLiteral(QIRA_MODULES_FROM_BIN "/") + module};
}

}  // namespace

WavePlayer::WavePlayer() = default;
WavePlayer::~WavePlayer() = default;

bool WavePlayer::LoadOutput() {
    if (loadTried_) return output_ != nullptr;
    loadTried_ = true;
    for (const QString& candidate : ModuleCandidates()) {
        if (!QFileInfo(candidate).isFile()) continue;
        // The module stays loaded for the rest of the run: the output's code
        // lives in it.
        QLibrary library(candidate);
        const auto create = reinterpret_cast<CreateWaveOutput>(library.resolve(kCreateWaveOutput));
        if (create == nullptr) continue;
        output_.reset(create());
        return output_ != nullptr;
    }
    return false;
}

WavePlayer::Outcome WavePlayer::PlayWave(const QString& path) {
    if (!QFileInfo(path).isFile()) return Outcome::NoFile;
    if (!LoadOutput()) return Outcome::NoSoundLibrary;
    if (!output_->HasOutputDevice()) return Outcome::NoOutputDevice;
    output_->Play(path);
    return Outcome::Started;
}

void WavePlayer::Stop() {
    if (output_) output_->Stop();
}

}  // namespace qira::platform
