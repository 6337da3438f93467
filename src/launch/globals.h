#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "launch/command_line.h"

namespace qira::launch {

struct LevelEntry {
    std::int32_t threshold = 0;
    std::string title;
};

// The values that describe the local user and how the client looks at the
// table. One instance lives for the whole run, owned by the client session.
struct ClientGlobals {
    LaunchData launch;        // the nine tokens; strUserName changes on 130/3
    std::string strViewName;  // whose chair is drawn at the bottom
    std::uint8_t bytMyChair = 0;
    bool blnIsWatcher = false;
    std::array<std::uint8_t, 4> bytSeatPos{};  // chair -> 0 top, 1 left, 2 bottom, 3 right
    std::uint8_t bytGameState = 0;             // 0 waiting for the first hand, 1 hands have started
    bool blnQuitting = false;
    bool blnShowStart = false;
    std::string strAppPath;     // the program's folder, ending in "/"
    std::string strParentPath;  // its parent, ending in "/"
    std::vector<LevelEntry> levels;
    std::array<std::string, 5> strUserTypeNames;

    const std::string& strUserName() const { return launch.strUserName; }

    // Resets everything but the launch values. `programFolder` is the folder of
    // the running executable, with or without a trailing "/".
    void ResetGlobals(std::string_view programFolder);

    // Puts the chair of strViewName at the bottom and the next chair in turn
    // order on the right. A name that holds no chair changes nothing.
    void ComputeSeatView(const std::array<std::string, 4>& seatNames);
};

// Fills a level table from entries "title_threshold" joined by the separator.
// An entry without "_" is skipped: it names no threshold to order it by.
std::vector<LevelEntry> ParseLevelInfo(std::string_view text);

// The title whose range holds `value`; "未知级别" for an empty table.
std::string GetLevelTitle(const std::vector<LevelEntry>& levels, std::int32_t value);

// A resource path written with "\" separators, as a path below `root` on this system.
std::string NativeResourcePath(std::string_view root, std::string_view windowsStylePath);

// The folder of the running executable, ending in "/".
std::string ExecutableFolder();

}  // namespace qira::launch
