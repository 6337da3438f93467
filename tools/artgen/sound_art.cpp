#include "sound_art.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>
#include <random>
#include <vector>

namespace qira::artgen {
namespace {

constexpr int kSampleRate = 22050;

using Samples = std::vector<double>;  // -1 .. 1

void AppendLittleEndian(QByteArray& bytes, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes.append(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// 16-bit mono PCM.
bool WriteWave(const QString& path, const Samples& samples) {
    QByteArray data;
    data.reserve(static_cast<int>(samples.size() * 2));
    for (const double sample : samples) {
        const double clamped = std::clamp(sample, -1.0, 1.0);
        const auto value = static_cast<std::int16_t>(std::lround(clamped * 32000));
        AppendLittleEndian(data, static_cast<std::uint16_t>(value), 2);
    }
    QByteArray file("RIFF");
    AppendLittleEndian(file, static_cast<std::uint32_t>(36 + data.size()), 4);
    file.append("WAVEfmt ");
    AppendLittleEndian(file, 16, 4);
    AppendLittleEndian(file, 1, 2);  // PCM
    AppendLittleEndian(file, 1, 2);  // mono
    AppendLittleEndian(file, kSampleRate, 4);
    AppendLittleEndian(file, kSampleRate * 2, 4);
    AppendLittleEndian(file, 2, 2);
    AppendLittleEndian(file, 16, 2);
    file.append("data");
    AppendLittleEndian(file, static_cast<std::uint32_t>(data.size()), 4);
    file.append(data);
    QDir().mkpath(QFileInfo(path).dir().absolutePath());
    QFile out(path);
    return out.open(QIODevice::WriteOnly) && out.write(file) == file.size();
}

int SampleCount(double seconds) {
    return static_cast<int>(seconds * kSampleRate);
}

// A tone with a soft attack and an exponential decay.
void AddTone(Samples& samples, double start, double seconds, double frequency, double volume,
             double decay = 6.0) {
    const int first = SampleCount(start);
    const int count = SampleCount(seconds);
    if (samples.size() < static_cast<size_t>(first + count))
        samples.resize(static_cast<size_t>(first + count), 0.0);
    for (int i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        const double attack = std::min(1.0, t / 0.005);
        const double envelope = attack * std::exp(-decay * t / seconds);
        const double wave = std::sin(2 * std::numbers::pi * frequency * t) +
                            0.3 * std::sin(4 * std::numbers::pi * frequency * t);
        samples[static_cast<size_t>(first + i)] += volume * envelope * wave / 1.3;
    }
}

// A short knock of filtered noise, as a tile or a die hitting the table.
void AddKnock(Samples& samples, double start, double seconds, double volume, std::mt19937& random,
              double pitch) {
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    const int first = SampleCount(start);
    const int count = SampleCount(seconds);
    if (samples.size() < static_cast<size_t>(first + count))
        samples.resize(static_cast<size_t>(first + count), 0.0);
    double low = 0;
    for (int i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        low += 0.35 * (noise(random) - low);
        const double body = std::sin(2 * std::numbers::pi * pitch * t);
        samples[static_cast<size_t>(first + i)] +=
            volume * std::exp(-t / (seconds / 5)) * (0.6 * low + 0.5 * body);
    }
}

Samples DrawSound() {
    std::mt19937 random(6);
    Samples samples;
    AddKnock(samples, 0.0, 0.09, 0.8, random, 900);
    AddKnock(samples, 0.045, 0.07, 0.4, random, 700);
    return samples;
}

Samples DiceSound() {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> jitter(0.0, 0.05);
    Samples samples;
    double time = 0.0;
    for (int i = 0; i < 14; ++i) {
        const double volume = 0.9 * std::exp(-i / 7.0);
        AddKnock(samples, time, 0.05, volume, random, 1300 + 120 * (i % 3));
        time += 0.035 + i * 0.006 + jitter(random);
    }
    return samples;
}

Samples WarningSound() {
    Samples samples;
    for (int i = 0; i < 3; ++i) AddTone(samples, 0.18 * i, 0.12, 988, 0.6, 2.0);
    return samples;
}

// Stands in for a spoken word when no speech engine is installed: a short
// figure of tones whose pitches come from the word's number.
Samples ToneFigure(int number, int notes) {
    static constexpr std::array<double, 8> scale = {523.3, 587.3,  659.3,  784.0,
                                                    880.0, 1046.5, 1174.7, 1318.5};
    Samples samples;
    for (int i = 0; i < notes; ++i)
        AddTone(samples, 0.11 * i, 0.16, scale[static_cast<size_t>((number + 3 * i) % 8)], 0.5);
    return samples;
}

struct Word {
    QString file;
    QString text;
};

std::vector<Word> TileVoices() {
    static const std::array<QString, 9> numerals = {"一", "二", "三", "四", "五",
                                                    "六", "七", "八", "九"};
    std::vector<Word> words;
    for (int rank = 1; rank <= 9; ++rank) {
        const QString numeral = numerals[static_cast<size_t>(rank - 1)];
        words.push_back({QStringLiteral("w%1").arg(rank), numeral + "万"});
        words.push_back({QStringLiteral("b%1").arg(rank), numeral + "饼"});
        words.push_back({QStringLiteral("t%1").arg(rank), numeral + "条"});
    }
    const std::array<QString, 4> winds = {"东风", "南风", "西风", "北风"};
    for (int i = 0; i < 4; ++i)
        words.push_back({QStringLiteral("f%1").arg(i + 1), winds[static_cast<size_t>(i)]});
    const std::array<QString, 3> dragons = {"红中", "发财", "白板"};
    for (int i = 0; i < 3; ++i)
        words.push_back({QStringLiteral("j%1").arg(i + 1), dragons[static_cast<size_t>(i)]});
    return words;
}

bool Speak(const QString& text, const QString& path) {
    QDir().mkpath(QFileInfo(path).dir().absolutePath());
    QProcess process;
    process.start("espeak-ng",
                  {"-v", "cmn-latn-pinyin", "-s", "150", "-a", "110", "-w", path, text});
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0 && QFileInfo(path).size() > 44;
}

bool WriteWord(const QString& path, const QString& text, int number, SpeechEngine engine) {
    if (engine == SpeechEngine::Espeak && Speak(text, path)) return true;
    return WriteWave(path, ToneFigure(number, static_cast<int>(text.size())));
}

}  // namespace

bool EspeakAvailable() {
    return !QStandardPaths::findExecutable("espeak-ng").isEmpty();
}

bool GenerateSounds(const QString& programFolder, SpeechEngine engine) {
    const QString state = programFolder + "/Res/Sound/State/";
    const QString tiles = programFolder + "/Res/Sound/Pai/";
    bool ok = true;
    const std::vector<Word> spoken = {{"Chi", "吃"},    {"Peng", "碰"}, {"Gang", "杠"},
                                      {"Ting", "听牌"}, {"Hu", "胡了"}, {"HuangPai", "荒牌"}};
    int number = 0;
    for (const Word& word : spoken)
        ok &= WriteWord(state + word.file + ".wav", word.text, number++, engine);
    ok &= WriteWave(state + "Recv.wav", DrawSound());
    ok &= WriteWave(state + "SaiZi.wav", DiceSound());
    ok &= WriteWave(state + "Warning.wav", WarningSound());
    for (const Word& word : TileVoices())
        ok &= WriteWord(tiles + word.file + ".wav", word.text, number++, engine);
    if (!ok) std::fprintf(stderr, "qira-artgen: a sound file could not be written\n");
    return ok;
}

}  // namespace qira::artgen
