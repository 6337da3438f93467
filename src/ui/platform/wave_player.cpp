#include "ui/platform/wave_player.h"

#include <QAudioDevice>
#include <QFileInfo>
#include <QMediaDevices>
#include <QUrl>

namespace qira::platform {

WavePlayer::Outcome WavePlayer::PlayWave(const QString& path) {
    if (!QFileInfo(path).isFile()) return Outcome::NoFile;
    if (QMediaDevices::audioOutputs().isEmpty()) return Outcome::NoOutputDevice;
    effect_.stop();
    effect_.setSource(QUrl::fromLocalFile(path));
    effect_.play();
    return Outcome::Started;
}

}  // namespace qira::platform
