#include "play/seats_from_list.h"

#include "net/protocol.h"
#include "play/text_fields.h"

namespace qira::play {

std::array<std::optional<SeatFromList>, rules::kChairCount> SeatsFromLoadedList(
    std::span<const std::string> names, const FindUserRecord& findUser, std::uint8_t bytGameState) {
    namespace field = net::user_record;
    std::array<std::optional<SeatFromList>, rules::kChairCount> seats;
    for (const auto& name : names) {
        if (name.empty()) continue;
        const auto record = net::SplitFields(findUser(name));
        if (record.size() != field::kFieldCount) continue;
        if (!TrimBlanks(record[field::kWatched]).empty()) continue;  // an onlooker
        const auto chairNumber = NumberOf(record[field::kChair]);
        if (chairNumber < 0) continue;
        seats[static_cast<std::size_t>(chairNumber % rules::kChairCount)] = SeatFromList{
            .strPlayerName = name,
            .lngPlayerKey = static_cast<std::int32_t>(NumberOf(record[field::kPortrait])),
            .blnReady = bytGameState != 1 && NumberOf(record[field::kRaised]) > 0,
            .blnUserFlag = NumberOf(record[field::kDropped]) > 0,
        };
    }
    return seats;
}

}  // namespace qira::play
