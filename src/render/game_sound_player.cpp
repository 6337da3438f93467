#include "render/game_sound_player.h"

#include "render/resources.h"

namespace qira::render {

GameSoundPlayer::GameSoundPlayer(std::string appPath, Hooks hooks)
    : appPath_(std::move(appPath)), hooks_(std::move(hooks)) {}

void GameSoundPlayer::PlayGameSound(play::StateSound sound) {
    Play(false, static_cast<int>(sound));
}

void GameSoundPlayer::PlayTileSound(play::Tile tile) {
    Play(true, tile);
}

void GameSoundPlayer::Play(bool isTile, int code) {
    const bool visible = hooks_.windowVisible && hooks_.windowVisible();
    const bool soundOn = hooks_.soundOn && hooks_.soundOn();
    const auto relative =
        GameSoundPath(isTile ? SoundSource::Tile : SoundSource::State, code,
                      visible ? WindowVisibility::Shown : WindowVisibility::Hidden, soundOn);
    if (!relative) return;
    const auto file = FindResourceFile(appPath_, *relative);
    if (file && hooks_.playWave) hooks_.playWave(*file);
}

}  // namespace qira::render
