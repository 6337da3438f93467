#include "net/hello_secret.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>

#include "net/frame_codec.h"
#include "net/packet.h"

namespace qira::net {
namespace {

std::filesystem::path FreshFolder(const char* name) {
    const auto folder = std::filesystem::temp_directory_path() /
                        ("qira-secret-" + std::to_string(::getpid()) + "-" + name);
    std::filesystem::remove_all(folder);
    return folder;
}

TEST(HelloSecret, MadeOnceKeptPrivatelyAndReadAgain) {
    const auto folder = FreshFolder("once");
    const auto file = folder / "sub" / "hello-secret";
    const std::string first = LoadOrCreateHelloSecret(file);
    ASSERT_EQ(first.size(), kHelloSecretLength);
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u) << "only the user may read the secret";
    EXPECT_EQ(LoadOrCreateHelloSecret(file), first) << "the same secret next time";
    EXPECT_NE(LoadOrCreateHelloSecret(FreshFolder("other") / "hello-secret"), first);
    std::filesystem::remove_all(folder);
}

TEST(HelloSecret, AFileThatHoldsNoSecretIsReplaced) {
    const auto folder = FreshFolder("broken");
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "hello-secret") << "not a secret\n";
    const std::string secret = LoadOrCreateHelloSecret(folder / "hello-secret");
    EXPECT_EQ(secret.size(), kHelloSecretLength);
    EXPECT_EQ(LoadOrCreateHelloSecret(folder / "hello-secret"), secret);
    std::filesystem::remove_all(folder);
}

TEST(HelloSecret, TravelsAsTheHellosThirdField) {
    const auto hello = BuildHello("alice", "", "0123abcd");
    ASSERT_TRUE(hello);
    EXPECT_EQ(SplitFields(DecodeBody(*hello, 0)),
              (std::vector<std::string>{"QIRA/1", "alice", "", "0123abcd"}));
}

}  // namespace
}  // namespace qira::net
