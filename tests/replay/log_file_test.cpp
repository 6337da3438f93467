#include "replay/log_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace qira::replay {
namespace {

class LogFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("qira-log-file-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string Write(const std::string& name, const std::string& text) {
        const auto path = (dir_ / name).string();
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    std::filesystem::path dir_;
};

TEST_F(LogFile, ReadsARegularFileWhole) {
    const auto read = ReadLogFile(Write("hands.jsonl", "{\"id\":1}\n{\"id\":2}\n"));
    ASSERT_TRUE(read.text) << read.error;
    EXPECT_EQ(*read.text, "{\"id\":1}\n{\"id\":2}\n");
    EXPECT_FALSE(ReadLogFile((dir_ / "missing").string()).text);
}

TEST_F(LogFile, RefusesWhatIsNotARegularFile) {
    const auto folder = ReadLogFile(dir_.string());
    EXPECT_FALSE(folder.text);
    EXPECT_NE(folder.error.find("文件夹"), std::string::npos) << folder.error;

    EXPECT_FALSE(ReadLogFile("/dev/zero").text);
    const auto fifo = (dir_ / "pipe").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto pipe = ReadLogFile(fifo);  // returns although no one writes
    EXPECT_FALSE(pipe.text);
    EXPECT_NE(pipe.error.find("不是普通文件"), std::string::npos) << pipe.error;
}

TEST_F(LogFile, StopsAtTheLimits) {
    const ReadLimits small{100, 10};
    const auto longLine = ReadLogFile(Write("long", "short\n" + std::string(11, 'x')), small);
    EXPECT_FALSE(longLine.text);
    EXPECT_NE(longLine.error.find("第 2 行"), std::string::npos) << longLine.error;
    EXPECT_TRUE(ReadLogFile(Write("fits", std::string(10, 'x') + "\n"), small).text);

    EXPECT_TRUE(ReadLogFile(Write("full", std::string(100, '\n')), small).text);
    EXPECT_FALSE(ReadLogFile(Write("over", std::string(101, '\n')), small).text);

    // An endless source stops at the line limit.
    const int zero = ::open("/dev/zero", O_RDONLY);
    ASSERT_GE(zero, 0);
    const auto endless = ReadLogFrom(zero, "zero", ReadLimits{});
    ::close(zero);
    EXPECT_FALSE(endless.text);
    EXPECT_NE(endless.error.find("1 MiB"), std::string::npos) << endless.error;
}

}  // namespace
}  // namespace qira::replay
