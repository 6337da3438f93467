#include "launch/globals.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "net/packet.h"

namespace qira::launch {
namespace {

std::string WithTrailingSlash(std::string_view folder) {
    std::string path(folder);
    if (path.empty() || path.back() != '/') path.push_back('/');
    return path;
}

std::string ParentFolder(const std::string& folderWithSlash) {
    const std::string trimmed = folderWithSlash.substr(0, folderWithSlash.size() - 1);
    const auto slash = trimmed.rfind('/');
    if (slash == std::string::npos) return folderWithSlash;  // already at the root
    return trimmed.substr(0, slash + 1);
}

// Reads a leading decimal number the way the lobby writes thresholds; text
// without one reads as 0. The result is rounded and clamped to 32 bits.
std::int32_t ReadThreshold(const std::string& text) {
    const char* begin = text.c_str();
    while (*begin == ' ') ++begin;
    char* end = nullptr;
    const double value = std::strtod(begin, &end);
    if (end == begin || !std::isfinite(value)) return 0;
    const double rounded = std::nearbyint(value);
    if (rounded >= static_cast<double>(INT32_MAX)) return INT32_MAX;
    if (rounded <= static_cast<double>(INT32_MIN)) return INT32_MIN;
    return static_cast<std::int32_t>(rounded);
}

}  // namespace

void ClientGlobals::ResetGlobals(std::string_view programFolder) {
    strAppPath = WithTrailingSlash(programFolder);
    strParentPath = ParentFolder(strAppPath);
    bytSeatPos = {0, 0, 0, 0};
    blnShowStart = false;
    levels = ParseLevelInfo(launch.strLevelInfo);
    strUserTypeNames = {"普通用户", "银卡会员", "金卡会员", "白金会员", "钻石会员"};
    blnQuitting = false;
    bytGameState = 0;
}

void ClientGlobals::ComputeSeatView(const std::array<std::string, 4>& seatNames) {
    for (std::uint8_t chair = 0; chair < 4; ++chair) {
        if (seatNames[chair] != strViewName) continue;
        bytMyChair = chair;
        bytSeatPos[chair] = 2;
        bytSeatPos[(chair + 1) % 4] = 3;
        bytSeatPos[(chair + 2) % 4] = 0;
        bytSeatPos[(chair + 3) % 4] = 1;
        blnIsWatcher = strViewName != launch.strUserName;
        return;
    }
}

std::vector<LevelEntry> ParseLevelInfo(std::string_view text) {
    std::vector<LevelEntry> levels;
    if (text.empty()) return levels;
    for (const auto& entry : net::SplitFields(text)) {
        const auto underscore = entry.find('_');
        if (underscore == std::string::npos) continue;
        levels.push_back(
            {ReadThreshold(entry.substr(underscore + 1)), entry.substr(0, underscore)});
    }
    return levels;
}

std::string GetLevelTitle(const std::vector<LevelEntry>& levels, std::int32_t value) {
    if (levels.empty()) return "未知级别";
    if (value <= levels.front().threshold) return levels.front().title;
    if (value >= levels.back().threshold) return levels.back().title;
    for (std::size_t i = 1; i < levels.size(); ++i)
        if (value < levels[i].threshold) return levels[i - 1].title;
    return levels.back().title;
}

std::string NativeResourcePath(std::string_view root, std::string_view windowsStylePath) {
    std::string path(root);
    for (const char c : windowsStylePath) {
        const char mapped = c == '\\' ? '/' : c;
        if (mapped == '/' && !path.empty() && path.back() == '/') continue;
        path.push_back(mapped);
    }
    return path;
}

std::string ExecutableFolder() {
    std::string buffer(PATH_MAX, '\0');
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0) return "./";
    buffer.resize(static_cast<std::size_t>(length));
    const auto slash = buffer.rfind('/');
    return slash == std::string::npos ? std::string("./") : buffer.substr(0, slash + 1);
}

}  // namespace qira::launch
