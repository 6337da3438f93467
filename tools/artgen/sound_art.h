#pragma once

#include <QString>

namespace qira::artgen {

enum class SpeechEngine { Espeak, SynthesisedTones };

// Every state sound and tile voice, into "Res/Sound/State/" and
// "Res/Sound/Pai/" below `programFolder`. Spoken sounds use espeak-ng when it
// is installed; otherwise tones stand in for the words, so no file is missing.
// Returns false when a file could not be written.
bool GenerateSounds(const QString& programFolder, SpeechEngine engine);

// Whether espeak-ng can be run on this machine.
bool EspeakAvailable();

}  // namespace qira::artgen
