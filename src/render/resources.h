#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Where the client's pictures and sounds lie and which file serves what.
// Relative paths are written as the resource tables name them, with "\"
// separators ("ResMj\DownShou\plpDownShou12.bmp"); `FindResourceFile` maps
// them onto this system's folders without regard to letter case, so
// "Res\OutPaiBk_0.bmp" and "Res\outpaibk_0.bmp" name the same file.
namespace qira::render {

// The tile picture sets, by the view they show.
enum class TileFaceSet {
    UpOut,     // faces seen from the up position: its discards and meld tiles
    LeftOut,   // the left position
    RightOut,  // the right position
    DownOut,   // the down position's discards; the wild tile in its panel
    DownPeng,  // the down position's meld tiles (large)
    DownShou,  // the local concealed hand (largest)
};

// The picture of tile `code` in `set`; codes that name no tile have none.
std::optional<std::string> TileFacePath(TileFaceSet set, int code);

// The discard face of a screen position (0 up, 1 left, 2 down, 3 right).
TileFaceSet DiscardFaceSet(int screenPosition);
// The meld face of a screen position (the down position uses the large faces).
TileFaceSet MeldFaceSet(int screenPosition);

// Tile backs of a screen position, by use.
enum class BackKind { Hand, MeldBack, Wall };
std::string TileBackPath(BackKind kind, int screenPosition);
inline constexpr std::string_view kLocalHandBack = "ResMj\\PaiBack\\Down_shou_Back.bmp";

// "UserRes\LargeUser\" + ((key mod 1000) + 1) + ".ico"; the remainder keeps
// the sign of the key, as the lookup always has, so no picture exists for a
// negative key.
std::string PortraitPath(std::int32_t playerKey);

// The state sounds 1-9 ("Res\Sound\State\Chi.wav" ...); other codes have none.
std::optional<std::string> StateSoundPath(int code);
// The voice naming tile `code` ("Res\Sound\Pai\w1.wav" ...); codes that name
// no tile have none.
std::optional<std::string> TileVoicePath(int code);

enum class SoundSource { State, Tile };
enum class WindowVisibility { Hidden, Shown };

// What `PlayGameSound` plays: nothing while the main window is hidden or the
// sound preference is off, else the state sound or tile voice of `code`.
// The result is relative to the program folder.
std::optional<std::string> GameSoundPath(SoundSource source, int code, WindowVisibility window,
                                         bool soundPreferenceOn);

// The file that `relativePath` names below `root` (a folder ending in "/"),
// matching each path component without regard to ASCII letter case; nothing
// when no such file exists. Nothing is cached: a file added or replaced while
// the client runs is found on the next call.
std::optional<std::string> FindResourceFile(std::string_view root, std::string_view relativePath);

}  // namespace qira::render
