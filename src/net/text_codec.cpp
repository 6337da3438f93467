#include "net/text_codec.h"

#include <iconv.h>

#include <cerrno>
#include <memory>

namespace qira::net {
namespace {

struct IconvCloser {
    void operator()(iconv_t* handle) const {
        iconv_close(*handle);
        delete handle;
    }
};
using IconvHandle = std::unique_ptr<iconv_t, IconvCloser>;

IconvHandle OpenConverter(const char* to, const char* from) {
    iconv_t handle = iconv_open(to, from);
    if (handle == reinterpret_cast<iconv_t>(-1)) return nullptr;
    return IconvHandle(new iconv_t(handle));
}

// Converts one unit; returns false when iconv refuses it.
bool ConvertUnit(iconv_t converter, std::string_view in, std::string& out) {
    char buffer[16];
    char* inPtr = const_cast<char*>(in.data());
    std::size_t inLeft = in.size();
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    if (iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1))
        return false;
    out.append(buffer, sizeof buffer - outLeft);
    return true;
}

std::size_t Utf8SequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if ((lead & 0xE0) == 0xC0) return 2;
    if ((lead & 0xF0) == 0xE0) return 3;
    if ((lead & 0xF8) == 0xF0) return 4;
    return 0;
}

// Converters are costly to open; each thread keeps its own, since one
// converter must not be used by two threads at once.
enum class Conversion { Utf8ToGbk, GbkToUtf8, Utf8ToUtf32 };

iconv_t CachedConverter(Conversion conversion) {
    thread_local IconvHandle toGbk = OpenConverter("GBK", "UTF-8");
    thread_local IconvHandle fromGbk = OpenConverter("UTF-8", "GBK");
    thread_local IconvHandle toUtf32 = OpenConverter("UTF-32LE", "UTF-8");
    const IconvHandle& handle = conversion == Conversion::Utf8ToGbk   ? toGbk
                                : conversion == Conversion::GbkToUtf8 ? fromGbk
                                                                      : toUtf32;
    return handle ? *handle : reinterpret_cast<iconv_t>(-1);
}

bool IsOpen(iconv_t converter) {
    return converter != reinterpret_cast<iconv_t>(-1);
}

}  // namespace

std::optional<std::string> Utf8ToGbk(std::string_view utf8) {
    iconv_t converter = CachedConverter(Conversion::Utf8ToGbk);
    if (!IsOpen(converter)) return std::nullopt;
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte < 0x80) {
            out.push_back(static_cast<char>(byte));
            ++i;
            continue;
        }
        const std::size_t length = Utf8SequenceLength(byte);
        if (length == 0 || i + length > utf8.size()) return std::nullopt;
        if (!ConvertUnit(converter, utf8.substr(i, length), out)) {
            // Either valid UTF-8 that GBK cannot represent, or invalid UTF-8.
            iconv_t toUtf32 = CachedConverter(Conversion::Utf8ToUtf32);
            std::string scratch;
            if (!IsOpen(toUtf32) || !ConvertUnit(toUtf32, utf8.substr(i, length), scratch))
                return std::nullopt;
            out.push_back('?');
        }
        i += length;
    }
    return out;
}

std::optional<std::string> GbkToUtf8(std::string_view gbk) {
    iconv_t converter = CachedConverter(Conversion::GbkToUtf8);
    if (!IsOpen(converter)) return std::nullopt;
    std::string out;
    out.reserve(gbk.size() * 3 / 2);
    for (std::size_t i = 0; i < gbk.size();) {
        const auto byte = static_cast<unsigned char>(gbk[i]);
        if (byte < 0x80) {
            out.push_back(static_cast<char>(byte));
            ++i;
            continue;
        }
        if (i + 1 >= gbk.size()) return std::nullopt;
        if (!ConvertUnit(converter, gbk.substr(i, 2), out)) out += "\xEF\xBF\xBD";
        i += 2;
    }
    return out;
}

}  // namespace qira::net
