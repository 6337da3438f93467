#include "items/dao_ju.h"

#include <algorithm>
#include <cstdint>

#include "net/numeric_text.h"
#include "net/packet.h"

namespace qira::items {
namespace {

constexpr std::size_t kFieldsPerItem = 10;
constexpr std::size_t kNoteBufferBytes = 1024;
constexpr char kOwnItemSeparator = ':';

std::string_view TrimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Cuts to the note buffer's capacity without splitting a character.
std::string_view FitNoteBuffer(std::string_view text) {
    if (text.size() < kNoteBufferBytes) return text;
    std::size_t end = kNoteBufferBytes - 1;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

// The fields of the own-items text. An empty text holds no fields: the
// player owns nothing.
std::vector<std::string_view> SplitOwnItems(std::string_view text) {
    std::vector<std::string_view> fields;
    if (text.empty()) return fields;
    std::size_t start = 0;
    for (;;) {
        const auto end = text.find(kOwnItemSeparator, start);
        fields.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) return fields;
        start = end + 1;
    }
}

std::int32_t NonNegative(std::int32_t value) {
    return std::max(value, 0);
}

DaoJuInfo ParseItem(const std::vector<std::string>& fields, std::size_t at) {
    DaoJuInfo item;
    item.lngID = net::ReadNumericValue(fields[at]);
    item.strName = fields[at + 2];
    item.lngCount = net::ReadNumericValue(fields[at + 3]);
    item.lngValidHours = net::ReadNumericValue(fields[at + 4]);
    for (std::size_t price = 0; price < item.lngPrice.size(); ++price)
        item.lngPrice[price] = net::ReadNumericValue(fields[at + 5 + price]);
    item.bteUseSelf = net::ReadNumericValue(fields[at + 9]) != 0 ? 1 : 0;
    return item;
}

}  // namespace

std::string ReadDaoJuNote(const ProfileFile& descriptions, std::int32_t id) {
    const std::string value =
        descriptions.GetString("DaoJuInfo_ID_" + std::to_string(id), "Note", "");
    std::string note(TrimBlanks(FitNoteBuffer(value)));
    std::erase(note, '\0');
    return note;
}

void DaoJuMaket::SetAppPath(std::string_view strAppPath) {
    descriptionPath_ = std::string(strAppPath) + std::string(kDaoJuInfoFile);
}

void DaoJuMaket::InitDaoJuMaket() {
    strDaoJuTypeName_.assign(1, std::string());
    DaoJuList_.assign(1, {});
    MyDaoJuList_.assign(1, {});
}

bool DaoJuMaket::LoadDaoJuInfo(std::string_view text) {
    const auto fields = net::SplitFields(text);
    // Every count is checked against what the text holds before anything is
    // allocated or replaced.
    if (fields.size() < 2) return false;
    const auto typeCount = static_cast<std::size_t>(NonNegative(net::ReadNumericValue(fields[0])));
    if (typeCount > fields.size() - 2) return false;
    const std::size_t firstItem = typeCount + 2;
    const auto itemCount =
        static_cast<std::size_t>(NonNegative(net::ReadNumericValue(fields[typeCount + 1])));
    if (itemCount > (fields.size() - firstItem) / kFieldsPerItem) return false;

    const ProfileFile descriptions =
        descriptionPath_.empty() ? ProfileFile() : ProfileFile::Load(descriptionPath_);
    strDaoJuTypeName_.assign(fields.begin(),
                             fields.begin() + static_cast<std::ptrdiff_t>(typeCount) + 1);
    strDaoJuTypeName_[0].clear();
    DaoJuList_.assign(typeCount + 1, {});
    for (std::size_t item = 0; item < itemCount; ++item) {
        const std::size_t at = firstItem + item * kFieldsPerItem;
        const std::int64_t type = std::int64_t{net::ReadNumericValue(fields[at + 1])} + 1;
        if (type < 1 || type > static_cast<std::int64_t>(typeCount)) continue;
        DaoJuInfo info = ParseItem(fields, at);
        info.strNote = ReadDaoJuNote(descriptions, info.lngID);
        DaoJuList_[static_cast<std::size_t>(type)].push_back(std::move(info));
    }

    std::vector<MyDaoJu> kept;
    for (auto& list : MyDaoJuList_) std::move(list.begin(), list.end(), std::back_inserter(kept));
    MyDaoJuList_.assign(typeCount + 1, {});
    for (auto& item : kept) MyDaoJuList_[OwnItemType(item.lngID)].push_back(std::move(item));
    return true;
}

bool DaoJuMaket::LoadMyDaoJu(std::string_view text) {
    const auto fields = SplitOwnItems(text);
    if (fields.size() % 3 != 0) return false;
    MyDaoJuList_.assign(DaoJuList_.size(), {});
    for (std::size_t at = 0; at < fields.size(); at += 3) {
        MyDaoJu item;
        item.lngID = net::ReadNumericValue(fields[at]);
        item.lngCount = net::ReadNumericValue(fields[at + 1]);
        const std::int32_t expiry = net::ReadNumericValue(fields[at + 2]);
        item.lngYear = expiry / 1000000;
        item.lngMonth = expiry % 1000000 / 10000;
        item.lngDay = expiry % 10000 / 100;
        item.lngHour = expiry % 100;
        if (const DaoJuInfo* known = FindDaoJu(item.lngID)) {
            item.strName = known->strName;
            item.bteUseSelf = known->bteUseSelf;
        } else {
            item.strName = kUnknownDaoJuName;
            item.bteUseSelf = 1;
        }
        MyDaoJuList_[OwnItemType(item.lngID)].push_back(std::move(item));
    }
    return true;
}

const DaoJuInfo* DaoJuMaket::FindDaoJu(std::int32_t id, int* type) const {
    for (std::size_t t = 1; t < DaoJuList_.size(); ++t) {
        for (const auto& item : DaoJuList_[t]) {
            if (item.lngID != id) continue;
            if (type != nullptr) *type = static_cast<int>(t);
            return &item;
        }
    }
    return nullptr;
}

std::size_t DaoJuMaket::OwnItemType(std::int32_t id) const {
    int type = 0;
    if (FindDaoJu(id, &type) != nullptr) return static_cast<std::size_t>(type);
    return TypeCount() >= 1 ? 1 : 0;
}

}  // namespace qira::items
