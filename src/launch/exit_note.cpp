#include "launch/exit_note.h"

#include <fstream>

namespace qira::launch {
namespace {

bool IsContinuationByte(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// At most `limit` bytes, never ending inside a UTF-8 character.
std::string_view CutAtCharacter(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) return text;
    std::size_t end = limit;
    while (end > 0 && IsContinuationByte(text[end])) --end;
    return text.substr(0, end);
}

}  // namespace

bool WriteExitNote(const std::string& path, std::string_view note) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const std::string_view cut = CutAtCharacter(note, kMaxExitNoteBytes);
    out.write(cut.data(), static_cast<std::streamsize>(cut.size()));
    return static_cast<bool>(out.flush());
}

std::string ReadExitNote(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string note(kMaxExitNoteBytes + 1, '\0');
    in.read(note.data(), static_cast<std::streamsize>(note.size()));
    note.resize(static_cast<std::size_t>(in.gcount()));
    return std::string(CutAtCharacter(note, kMaxExitNoteBytes));
}

}  // namespace qira::launch
