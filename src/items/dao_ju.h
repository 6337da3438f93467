#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "items/profile_file.h"

// The item ("道具") catalogue the server sells and the items the player
// owns (modDaoJuMaket). Both are grouped by item type; lists are indexed by
// type number 1..N, and index 0 holds no type.
namespace qira::items {

struct DaoJuInfo {
    std::int32_t lngID = 0;
    std::string strName;
    std::int32_t lngCount = 0;    // pieces in one purchase
    std::uint8_t bteUseSelf = 0;  // 1: used on oneself, 0: on another player
    std::int32_t lngValidHours = 0;
    // Ordinary list price, ordinary sale price, member list price, member sale price.
    std::array<std::int32_t, 4> lngPrice{};
    std::string strNote;  // from DaoJuInfo.ini, "" when none
};

struct MyDaoJu {
    std::int32_t lngID = 0;
    std::string strName;  // from the catalogue, or "未知名称"
    std::int32_t lngCount = 0;
    std::uint8_t bteUseSelf = 1;
    std::int32_t lngYear = 0;
    std::int32_t lngMonth = 0;
    std::int32_t lngDay = 0;
    std::int32_t lngHour = 0;
};

inline constexpr std::string_view kUnknownDaoJuName = "未知名称";
// Below the program folder.
inline constexpr std::string_view kDaoJuInfoFile = "Res/DaoJu/DaoJuInfo.ini";

// The description of item `id`: key "Note" of section "DaoJuInfo_ID_<id>",
// trimmed, without NUL characters, at most 1023 bytes; "" when none.
std::string ReadDaoJuNote(const ProfileFile& descriptions, std::int32_t id);

class DaoJuMaket {
public:
    DaoJuMaket() { InitDaoJuMaket(); }

    // Where descriptions are read from: strAppPath + "Res/DaoJu/DaoJuInfo.ini".
    void SetAppPath(std::string_view strAppPath);

    // Empty catalogue and no own items.
    void InitDaoJuMaket();

    // Replaces the catalogue with the text of game message 133/0 and sorts
    // the own items into its types. A text cut short, or with impossible
    // counts, is ignored whole (returns false). An item whose type is not in
    // the catalogue is skipped.
    bool LoadDaoJuInfo(std::string_view text);

    // Replaces the own items with the text of game message 133/1 (triples of
    // ID, pieces, expiry YYYYMMDDHH joined by ":"). A field count that is not
    // a multiple of three is ignored (returns false). Before any catalogue
    // has types, own items wait at index 0 and are sorted in by the next one.
    bool LoadMyDaoJu(std::string_view text);

    // N, the number of item types.
    int TypeCount() const { return static_cast<int>(strDaoJuTypeName_.size()) - 1; }
    const std::vector<std::string>& strDaoJuTypeName() const { return strDaoJuTypeName_; }
    const std::vector<std::vector<DaoJuInfo>>& DaoJuList() const { return DaoJuList_; }
    const std::vector<std::vector<MyDaoJu>>& MyDaoJuList() const { return MyDaoJuList_; }

    // The catalogue entry of `id` (first in type and list order), or null.
    const DaoJuInfo* FindDaoJu(std::int32_t id, int* type = nullptr) const;

private:
    // The list an own item belongs in: its catalogue type, else type 1, else
    // (no types yet) the waiting list at index 0.
    std::size_t OwnItemType(std::int32_t id) const;

    std::string descriptionPath_;
    std::vector<std::string> strDaoJuTypeName_;
    std::vector<std::vector<DaoJuInfo>> DaoJuList_;
    std::vector<std::vector<MyDaoJu>> MyDaoJuList_;
};

}  // namespace qira::items
