#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Why qira-client ended, in a few words for the player, for the program that
// started it: the client writes the note into the file named by the
// environment variable QIRA_EXIT_NOTE when it is set. The exit status
// (client_exit.h) still tells the kind of end; the note only explains it.
namespace qira::launch {

inline constexpr const char* kExitNoteVariable = "QIRA_EXIT_NOTE";
inline constexpr std::size_t kMaxExitNoteBytes = 4096;

// Writes `note`, cut to at most kMaxExitNoteBytes at a character boundary.
// False when the file cannot be written.
bool WriteExitNote(const std::string& path, std::string_view note);

// The note in `path`, read up to kMaxExitNoteBytes (a file that is not a
// note, such as a device, gives no more); empty when there is none.
std::string ReadExitNote(const std::string& path);

}  // namespace qira::launch
