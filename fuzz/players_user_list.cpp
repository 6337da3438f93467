// libFuzzer target: arbitrary text as the whole user list, then every loaded
// name through the lookups, the menu and the seat setup.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "dialogs/game_set.h"
#include "play/seats_from_list.h"
#include "players/user_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    qira::players::UserList list;
    const auto names = list.LoadList(text);
    if (names.size() != list.size()) __builtin_trap();
    qira::launch::ClientGlobals globals;
    for (const auto& name : names) {
        const std::string record = list.FindUser(name);
        if (!qira::players::BuildUserMenu(record, globals)) __builtin_trap();
        list.RefreshUser(record);
    }
    qira::play::SeatsFromLoadedList(
        names, [&list](std::string_view name) { return list.FindUser(name); }, 0);
    qira::dialogs::GameSetModel settings("Qira", "甲");
    if (settings.SetInitGameSetInfo(qira::dialogs::DeskRole::Master, text)) {
        settings.Validate();
        settings.PressButton(qira::dialogs::GameSetButton::Confirm);
    }
    return 0;
}
