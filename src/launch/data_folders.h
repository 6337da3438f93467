#pragma once

#include <string>
#include <string_view>

namespace qira::launch {

// Where the client reads its pictures and sounds and keeps the user's
// preferences. Both end in "/".
struct ClientFolders {
    std::string data;      // holds "Res/"; its parent holds "ResMj/", "UserRes/" and "res/"
    std::string settings;  // "UserSet.ini" and the hint settings
};

// In a build tree the data sits beside the program (`programFolder` holds
// "Res/") and the preferences are kept there too. An installed program reads
// the data from `installedData`, a folder relative to `programFolder` (for
// example "../share/qira/client"), and keeps the preferences in "qira/" below
// `configHome`, since the data folder is not the user's to write.
ClientFolders FindClientFolders(std::string_view programFolder, std::string_view installedData,
                                std::string_view configHome);

// The user's configuration folder: $XDG_CONFIG_HOME, else $HOME/.config, else
// the working folder.
std::string UserConfigHome();

}  // namespace qira::launch
