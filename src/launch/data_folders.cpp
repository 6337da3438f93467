#include "launch/data_folders.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace qira::launch {
namespace {

namespace fs = std::filesystem;

std::string FolderText(const fs::path& folder) {
    std::string text = folder.lexically_normal().string();
    if (text.empty() || text.back() != '/') text.push_back('/');
    return text;
}

bool HoldsResources(const fs::path& folder) {
    std::error_code error;
    return fs::is_directory(folder / "Res", error);
}

}  // namespace

ClientFolders FindClientFolders(std::string_view programFolder, std::string_view installedData,
                                std::string_view configHome) {
    const fs::path program(programFolder);
    const fs::path installed = program / fs::path(installedData);
    if (HoldsResources(program) || !HoldsResources(installed)) {
        const std::string folder = FolderText(program);
        return {folder, folder};
    }
    return {FolderText(installed), FolderText(fs::path(configHome) / "qira")};
}

std::string UserConfigHome() {
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config) return config;
    if (const char* home = std::getenv("HOME"); home && *home)
        return (fs::path(home) / ".config").string();
    return ".";
}

}  // namespace qira::launch
