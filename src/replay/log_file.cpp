#include "replay/log_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qira::replay {

namespace {

std::string Mebibytes(std::size_t bytes) {
    return std::to_string(bytes >> 20) + " MiB";
}

LogText Failure(std::string error) {
    return {std::nullopt, std::move(error)};
}

// Why a named file is not read, or nothing when it is a regular file.
std::optional<std::string> NotARegularFile(int descriptor, const std::string& name) {
    struct stat status {};
    if (::fstat(descriptor, &status) != 0) return name + " 无法读取：" + std::strerror(errno);
    if (S_ISREG(status.st_mode)) return std::nullopt;
    if (S_ISDIR(status.st_mode)) return name + " 是一个文件夹，不是记录文件";
    return name + " 不是普通文件";
}

// Counts the bytes of the line that is still open at the end of each read.
class LineMeter {
public:
    // False when a line has grown past `limit`.
    bool Add(const char* data, std::size_t count, std::size_t limit) {
        for (std::size_t i = 0; i < count; ++i) {
            if (data[i] == '\n') {
                ++lines_;
                current_ = 0;
            } else if (++current_ > limit) {
                return false;
            }
        }
        return true;
    }
    std::size_t lineNumber() const { return lines_ + 1; }

private:
    std::size_t lines_ = 0;
    std::size_t current_ = 0;
};

}  // namespace

LogText ReadLogFrom(int descriptor, const std::string& name, const ReadLimits& limits) {
    std::string text;
    LineMeter meter;
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(descriptor, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) return Failure(name + " 无法读取：" + std::strerror(errno));
        if (count == 0) return {std::move(text), {}};
        const auto size = static_cast<std::size_t>(count);
        if (size > limits.maxFileBytes - text.size())
            return Failure(name + " 超过 " + Mebibytes(limits.maxFileBytes) +
                           " 的上限（qira-server --export-hands --hand ID 只导出一局）");
        if (!meter.Add(buffer, size, limits.maxLineBytes))
            return Failure(name + " 第 " + std::to_string(meter.lineNumber()) + " 行超过 " +
                           Mebibytes(limits.maxLineBytes) + " 的上限");
        text.append(buffer, size);
    }
}

LogText ReadLogFile(const std::string& path, const ReadLimits& limits) {
    if (path == "-") {
        struct stat status {};
        if (::fstat(STDIN_FILENO, &status) == 0 && S_ISDIR(status.st_mode))
            return Failure("标准输入是一个文件夹，不是记录文件");
        return ReadLogFrom(STDIN_FILENO, "标准输入", limits);
    }
    // Not blocking: opening a named pipe would wait for a writer.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (descriptor < 0) return Failure("无法读取文件 " + path + "：" + std::strerror(errno));
    LogText result;
    if (auto refusal = NotARegularFile(descriptor, path))
        result = Failure(std::move(*refusal));
    else
        result = ReadLogFrom(descriptor, path, limits);
    ::close(descriptor);
    return result;
}

}  // namespace qira::replay
