#pragma once

#include <filesystem>
#include <string>

// The client's hello secret: made once at random and kept in a file only its
// user may read, so that a dropped chair goes back to this client only.
namespace qira::net {

inline constexpr std::size_t kHelloSecretLength = 32;  // hexadecimal digits

// The secret in `file`; a new one is written there (mode 0600) when the file
// is missing or does not hold a secret. Empty when nothing can be written.
std::string LoadOrCreateHelloSecret(const std::filesystem::path& file);

}  // namespace qira::net
