#include "launch/client_exit.h"

#include <algorithm>
#include <fstream>

namespace qira::launch {

bool WriteEndReport(const std::string& path, std::string_view reason) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << reason << '\n';
    return static_cast<bool>(file.flush());
}

namespace {

// Cuts `text` to `limit` bytes without splitting a UTF-8 character.
void CutToLimit(std::string& text, std::size_t limit) {
    if (text.size() <= limit) return;
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text.resize(end);
}

}  // namespace

std::string ReadEndReport(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::string line(kMaxEndReportBytes + 1, '\0');
    file.read(line.data(), static_cast<std::streamsize>(line.size()));
    line.resize(static_cast<std::size_t>(std::max<std::streamsize>(file.gcount(), 0)));
    line = line.substr(0, line.find('\n'));
    std::erase_if(line, [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
    CutToLimit(line, kMaxEndReportBytes);
    return line;
}

}  // namespace qira::launch
