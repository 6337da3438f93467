#include "launch/exit_note.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace qira::launch {
namespace {

TEST(ExitNote, TravelsWholeAndLongOnesAreCutAtACharacter) {
    const auto path =
        std::filesystem::temp_directory_path() / ("qira-exit-note-" + std::to_string(::getpid()));
    const std::string note = "你没有在时限内点“开始”，离开了牌桌。";
    ASSERT_TRUE(WriteExitNote(path.string(), note));
    EXPECT_EQ(ReadExitNote(path.string()), note);

    std::string endless;
    while (endless.size() <= kMaxExitNoteBytes) endless += "逃";  // three bytes each
    ASSERT_TRUE(WriteExitNote(path.string(), endless));
    const std::string kept = ReadExitNote(path.string());
    EXPECT_EQ(kept.size(), kMaxExitNoteBytes / 3 * 3);
    EXPECT_EQ(kept, endless.substr(0, kept.size()));
    std::ofstream(path, std::ios::binary) << endless << endless;  // written by someone else
    EXPECT_EQ(ReadExitNote(path.string()), kept);

    EXPECT_EQ(ReadExitNote("/dev/zero").size(), kMaxExitNoteBytes) << "a device ends the read";
    std::filesystem::remove(path);
    EXPECT_EQ(ReadExitNote(path.string()), "");
    EXPECT_FALSE(WriteExitNote((path / "missing" / "note").string(), note));
}

}  // namespace
}  // namespace qira::launch
