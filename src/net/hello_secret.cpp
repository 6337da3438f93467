#include "net/hello_secret.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <random>

namespace qira::net {
namespace {

bool IsSecret(const std::string& text) {
    return text.size() == kHelloSecretLength && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

std::string NewSecret() {
    std::random_device device;
    std::string secret;
    while (secret.size() < kHelloSecretLength) secret.push_back("0123456789abcdef"[device() % 16]);
    return secret;
}

bool WritePrivately(const std::filesystem::path& file, const std::string& secret) {
    std::error_code error;
    std::filesystem::create_directories(file.parent_path(), error);
    std::filesystem::remove(file, error);
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd < 0) return false;
    const std::string line = secret + "\n";
    const bool written = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    return ::close(fd) == 0 && written;
}

}  // namespace

std::string LoadOrCreateHelloSecret(const std::filesystem::path& file) {
    std::string kept;
    if (std::ifstream in(file); in) std::getline(in, kept);
    if (IsSecret(kept)) return kept;
    const std::string secret = NewSecret();
    return WritePrivately(file, secret) ? secret : std::string{};
}

}  // namespace qira::net
