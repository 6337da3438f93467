#include "launch/data_folders.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "launch/globals.h"

namespace qira::launch {
namespace {

namespace fs = std::filesystem;

// A throwaway prefix: "bin/" for the programs, "share/qira/client/" for the
// installed data.
class ClientFoldersTest : public ::testing::Test {
protected:
    void SetUp() override {
        prefix_ = fs::temp_directory_path() / ("qira-folders-" + std::to_string(::getpid()));
        fs::create_directories(prefix_ / "bin");
    }
    void TearDown() override { fs::remove_all(prefix_); }

    std::string Bin() const { return (prefix_ / "bin").string() + "/"; }
    std::string Path(const char* below) const { return (prefix_ / below).string(); }

    fs::path prefix_;
};

TEST_F(ClientFoldersTest, BuildTreeKeepsDataAndPreferencesBesideTheProgram) {
    fs::create_directories(prefix_ / "bin" / "Res");
    fs::create_directories(prefix_ / "share/qira/client/Res");  // an older install is ignored

    const auto folders = FindClientFolders(Bin(), "../share/qira/client", "/home/u/.config");

    EXPECT_EQ(folders.data, Bin());
    EXPECT_EQ(folders.settings, Bin());
}

TEST_F(ClientFoldersTest, InstalledProgramReadsTheShareFolderAndWritesToTheConfigHome) {
    fs::create_directories(prefix_ / "share/qira/client/Res");

    const auto folders = FindClientFolders(Bin(), "../share/qira/client", "/home/u/.config");

    EXPECT_EQ(folders.data, Path("share/qira/client") + "/");
    EXPECT_EQ(folders.settings, "/home/u/.config/qira/");

    // The shared pictures ("ResMj/", "UserRes/") are looked up one level up.
    ClientGlobals globals;
    globals.ResetGlobals(folders.data);
    EXPECT_EQ(globals.strAppPath, Path("share/qira/client") + "/");
    EXPECT_EQ(globals.strParentPath, Path("share/qira") + "/");
}

TEST_F(ClientFoldersTest, WithoutAnyDataTheProgramFolderIsUsed) {
    const auto folders = FindClientFolders(Bin(), "../share/qira/client", "/home/u/.config");

    EXPECT_EQ(folders.data, Bin());
    EXPECT_EQ(folders.settings, Bin());
}

TEST(UserConfigHome, FollowsXdgConfigHomeThenHome) {
    const char* savedXdg = std::getenv("XDG_CONFIG_HOME");
    const std::string xdg = savedXdg ? savedXdg : "";
    ::setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(UserConfigHome(), "/cfg");
    ::unsetenv("XDG_CONFIG_HOME");
    ::setenv("HOME", std::getenv("HOME") ? std::getenv("HOME") : "/root", 1);
    EXPECT_EQ(UserConfigHome(), std::string(std::getenv("HOME")) + "/.config");
    if (savedXdg) ::setenv("XDG_CONFIG_HOME", xdg.c_str(), 1);
}

}  // namespace
}  // namespace qira::launch
