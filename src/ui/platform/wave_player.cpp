#include "ui/platform/wave_player.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>
#include <QStandardPaths>
#include <QStringList>

#include "launch/data_folders.h"
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

// A client.conf line "default-server = ..." that is not commented out.
bool NamesADefaultServer(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1String("default-server")) && line.contains(QLatin1Char('=')))
            return true;
    }
    return false;
}

bool ServerNamed() {
    if (!qEnvironmentVariableIsEmpty("PULSE_SERVER")) return true;
    const QString config = QString::fromStdString(launch::UserConfigHome());
    return NamesADefaultServer(config + QStringLiteral("/pulse/client.conf")) ||
           NamesADefaultServer(QStringLiteral("/etc/pulse/client.conf"));
}

bool ServerSocketExists() {
    QStringList sockets{QStringLiteral("/run/pulse/native"),
                        QStringLiteral("/var/run/pulse/native")};
    if (!qEnvironmentVariableIsEmpty("PULSE_RUNTIME_PATH"))
        sockets << qEnvironmentVariable("PULSE_RUNTIME_PATH") + QStringLiteral("/native");
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        sockets << qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/pulse/native");
    const QDir legacy(QDir::homePath() + QStringLiteral("/.config/pulse"));
    // Matched by hand: a name filter would load the regular-expression library.
    for (const QString& folder : legacy.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (folder.endsWith(QLatin1String("-runtime")))
            sockets << legacy.filePath(folder) + QStringLiteral("/native");
    }
    for (const QString& socket : sockets) {
        if (QFileInfo::exists(socket)) return true;
    }
    return false;
}

bool ServerMayBeStarted() {
    return ::geteuid() != 0 &&
           !QStandardPaths::findExecutable(QStringLiteral("pulseaudio")).isEmpty();
}

}  // namespace

bool SoundServerMayAnswer() {
    return ServerNamed() || ServerSocketExists() || ServerMayBeStarted();
}

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
    if (!output_ && !SoundServerMayAnswer()) return Outcome::NoOutputDevice;
    if (!LoadOutput()) return Outcome::NoSoundLibrary;
    if (!output_->HasOutputDevice()) return Outcome::NoOutputDevice;
    output_->Play(path);
    return Outcome::Started;
}

void WavePlayer::Stop() {
    if (output_) output_->Stop();
}

}  // namespace qira::platform
