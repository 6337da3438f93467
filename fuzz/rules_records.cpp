// The table records read from the network: any bytes, cut anywhere, are read
// without passing the end of the message.
#include <cstddef>
#include <cstdint>
#include <span>

#include "rules/table_state.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qira::rules;
    const std::span<const std::uint8_t> message(data, size);
    TableState table;
    if (const auto start = qira::net::DecodeNewHand(message)) table.LoadHandStart(*start);
    table.LoadTableSnapshot(message, Viewer::Onlooker);
    table.TakeWallTile(WallEnd::Head);
    table.TakeWallTile(WallEnd::Tail);
    if (!table.bytMyHand.empty()) {
        table.AppendTile(table.bytMyHand.front());
        table.SortHand();
        table.ApplyKong(table.bytMyChair, MeldKind::ConcealedKong, table.bytMyHand.back(), 5, 0);
    }
    return 0;
}
