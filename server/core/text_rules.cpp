#include "server/core/text_rules.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/uspoof.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <memory>

namespace qira::server {
namespace {

bool IsControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

std::string AsciiKey(std::string_view name) {
    std::string key = Trimmed(name);
    std::transform(key.begin(), key.end(), key.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return key;
}

bool IsBlankOrInvisible(UChar32 c) {
    return u_isUWhiteSpace(c) || u_hasBinaryProperty(c, UCHAR_DEFAULT_IGNORABLE_CODE_POINT);
}

// Unicode's confusables data (UTS #39), opened once; usable from any thread.
const USpoofChecker* SpoofChecker() {
    static const auto checker = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<USpoofChecker, void (*)(USpoofChecker*)> opened(uspoof_open(&status),
                                                                        uspoof_close);
        if (U_FAILURE(status)) opened.reset();
        return opened;
    }();
    return checker.get();
}

}  // namespace

bool HasControlCharacters(std::string_view utf8) {
    return std::any_of(utf8.begin(), utf8.end(), IsControl);
}

std::string WithoutControlCharacters(std::string text) {
    std::replace_if(text.begin(), text.end(), IsControl, ' ');
    return text;
}

std::size_t CharacterCount(std::string_view utf8) {
    return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

std::string Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

std::string TrimmedName(std::string_view utf8) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(utf8.data());
    const auto length = static_cast<std::int32_t>(utf8.size());
    std::int32_t begin = 0;
    while (begin < length) {
        std::int32_t next = begin;
        UChar32 c = 0;
        U8_NEXT(bytes, next, length, c);
        if (c < 0 || !IsBlankOrInvisible(c)) break;
        begin = next;
    }
    std::int32_t end = length;
    while (end > begin) {
        std::int32_t previous = end;
        UChar32 c = 0;
        U8_PREV(bytes, begin, previous, c);
        if (c < 0 || !IsBlankOrInvisible(c)) break;
        end = previous;
    }
    return std::string(
        utf8.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin)));
}

// NFKC with case folding (which also drops invisible characters), then the
// confusables skeleton, then NFKC case folding again, since the skeleton's
// replacements may be capitals or decomposed.
std::string NameKey(std::string_view name) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* fold = icu::Normalizer2::getNFKCCasefoldInstance(status);
    const USpoofChecker* spoof = SpoofChecker();
    if (U_FAILURE(status) || !spoof) return AsciiKey(name);
    const auto text = icu::UnicodeString::fromUTF8(
        icu::StringPiece(name.data(), static_cast<std::int32_t>(name.size())));
    icu::UnicodeString folded = fold->normalize(text, status);
    icu::UnicodeString skeleton;
    uspoof_getSkeletonUnicodeString(spoof, 0, folded.trim(), skeleton, &status);
    const icu::UnicodeString key = fold->normalize(skeleton, status).trim();
    if (U_FAILURE(status)) return AsciiKey(name);
    std::string out;
    key.toUTF8String(out);
    return out;
}

}  // namespace qira::server
