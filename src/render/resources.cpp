#include "render/resources.h"

#include <array>
#include <filesystem>
#include <system_error>

#include "launch/globals.h"

namespace qira::render {
namespace {

bool NamesTile(int code) {
    return (code >= 0 && code <= 30) || (code >= 36 && code <= 38);
}

struct FaceSetNames {
    std::string_view folder;
    std::string_view prefix;
};

constexpr std::array<FaceSetNames, 6> kFaceSets = {{
    {"UpOut", "plpUpOut"},
    {"LeftOut", "plpLeftOut"},
    {"RightOut", "plpRightOut"},
    {"DownOut", "plpDownOut"},
    {"DownPeng", "plpDownPeng"},
    {"DownShou", "plpDownShou"},
}};

constexpr std::array<std::string_view, 4> kPositionNames = {"Up", "Left", "Down", "Right"};

constexpr std::array<std::string_view, 9> kStateSounds = {
    "Chi.wav",  "Peng.wav",  "Gang.wav",    "Ting.wav",    "Hu.wav",
    "Recv.wav", "SaiZi.wav", "Warning.wav", "HuangPai.wav"};

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

// The entry of `folder` named `name` in any letter case; the exact name wins.
std::optional<std::filesystem::path> FindEntry(const std::filesystem::path& folder,
                                               std::string_view name) {
    std::error_code error;
    const auto exact = folder / std::string(name);
    if (std::filesystem::exists(exact, error)) return exact;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        if (EqualIgnoringCase(it->path().filename().string(), name)) return it->path();
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> TileFacePath(TileFaceSet set, int code) {
    if (!NamesTile(code)) return std::nullopt;
    const FaceSetNames& names = kFaceSets[static_cast<std::size_t>(set)];
    return "ResMj\\" + std::string(names.folder) + "\\" + std::string(names.prefix) +
           std::to_string(code) + ".bmp";
}

TileFaceSet DiscardFaceSet(int screenPosition) {
    switch (screenPosition) {
        case 0:
            return TileFaceSet::UpOut;
        case 1:
            return TileFaceSet::LeftOut;
        case 3:
            return TileFaceSet::RightOut;
        default:
            return TileFaceSet::DownOut;
    }
}

TileFaceSet MeldFaceSet(int screenPosition) {
    return screenPosition == 2 ? TileFaceSet::DownPeng : DiscardFaceSet(screenPosition);
}

std::string TileBackPath(BackKind kind, int screenPosition) {
    const std::string position(kPositionNames[static_cast<std::size_t>(screenPosition & 3)]);
    switch (kind) {
        case BackKind::Hand:
            return screenPosition == 2 ? std::string(kLocalHandBack)
                                       : "ResMj\\PaiBack\\" + position + "_Shou.bmp";
        case BackKind::MeldBack:
            return "ResMj\\PaiBack\\" + position + "_Liang_Back.bmp";
        case BackKind::Wall:
            return "ResMj\\PaiBack\\" + position + "_Wall.bmp";
    }
    return {};
}

std::string PortraitPath(std::int32_t playerKey) {
    return "UserRes\\LargeUser\\" + std::to_string(playerKey % 1000 + 1) + ".ico";
}

std::optional<std::string> StateSoundPath(int code) {
    if (code < 1 || code > static_cast<int>(kStateSounds.size())) return std::nullopt;
    return "Res\\Sound\\State\\" + std::string(kStateSounds[static_cast<std::size_t>(code - 1)]);
}

std::optional<std::string> TileVoicePath(int code) {
    if (!NamesTile(code)) return std::nullopt;
    char letter = 'j';
    int number = code - 35;
    if (code <= 8) {
        letter = 'w';
        number = code + 1;
    } else if (code <= 17) {
        letter = 'b';
        number = code - 8;
    } else if (code <= 26) {
        letter = 't';
        number = code - 17;
    } else if (code <= 30) {
        letter = 'f';
        number = code - 26;
    }
    std::string path = "Res\\Sound\\Pai\\";
    path += letter;
    path += std::to_string(number);
    path += ".wav";
    return path;
}

std::optional<std::string> GameSoundPath(SoundSource source, int code, WindowVisibility window,
                                         bool soundPreferenceOn) {
    if (window == WindowVisibility::Hidden || !soundPreferenceOn) return std::nullopt;
    return source == SoundSource::Tile ? TileVoicePath(code) : StateSoundPath(code);
}

std::optional<std::string> FindResourceFile(std::string_view root, std::string_view relativePath) {
    const std::filesystem::path native(launch::NativeResourcePath(root, relativePath));
    const std::filesystem::path base(std::string(root).empty() ? "." : std::string(root));
    std::error_code error;
    if (std::filesystem::is_regular_file(native, error)) return native.string();

    // Walk the relative part one component at a time, matching each in any case.
    const std::filesystem::path relative(launch::NativeResourcePath("", relativePath));
    std::filesystem::path current = base;
    for (const auto& component : relative) {
        const std::string name = component.string();
        if (name.empty() || name == "/" || name == ".") continue;
        const auto entry = FindEntry(current, name);
        if (!entry) return std::nullopt;
        current = *entry;
    }
    if (!std::filesystem::is_regular_file(current, error)) return std::nullopt;
    return current.string();
}

}  // namespace qira::render
