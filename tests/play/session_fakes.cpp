#include "session_fakes.h"

#include <algorithm>

#include "net/requests.h"

namespace qira::play::testing {

bool CallLog::Contains(const std::string& entry) const {
    return IndexOf(entry) != std::string::npos;
}

std::size_t CallLog::Count(const std::string& entry) const {
    return static_cast<std::size_t>(std::count(entries_.begin(), entries_.end(), entry));
}

std::size_t CallLog::IndexOf(const std::string& entry) const {
    const auto found = std::find(entries_.begin(), entries_.end(), entry);
    return found == entries_.end() ? std::string::npos
                                   : static_cast<std::size_t>(found - entries_.begin());
}

bool FakeMessages::Showed(const std::string& note) const {
    return std::any_of(shown.begin(), shown.end(),
                       [&](const GlobalMsg& box) { return box.note == note; });
}

void FakeDisplay::Wait() {
    if (waiting) return;
    waiting = true;
    while (!arriving.empty()) {
        const Bytes message = std::move(arriving.front());
        arriving.pop_front();
        session->OnMessage(message);
    }
    if (duringWait) std::exchange(duringWait, nullptr)();
    waiting = false;
}

void FakeChat::ChangeChatTarget(ChatTargetAction action, std::string_view name) {
    if (action == ChatTargetAction::Add) {
        targets.emplace_back(name);
    } else {
        std::erase(targets, std::string(name));
    }
}

SessionRig::SessionRig(std::string userName) {
    launch::ClientGlobals globals;
    globals.launch.strGameTitle = "测试麻将";
    globals.launch.strUserName = std::move(userName);
    globals.ResetGlobals("/opt/qira/bin");
    session = std::make_unique<ClientSession>(
        std::move(globals), "/opt/qira/bin",
        SessionHost{sender, painter, display, sounds, clock, timers, messages, userList, chat,
                    gameSet, winResult, chowChooser, window, items, preferences});
    display.session = session.get();
}

Bytes Message(std::initializer_list<std::uint8_t> bytes) {
    return Bytes(bytes);
}

Bytes Text(std::uint8_t mainType, std::uint8_t subType, std::string_view body) {
    return TextFrom({mainType, subType}, body);
}

Bytes TextFrom(std::initializer_list<std::uint8_t> header, std::string_view body) {
    Bytes out;
    const std::vector<std::uint8_t> head(header);
    if (!net::BuildPacket(body, out, head.size(), head)) out = head;
    return out;
}

std::string UserRecord(const std::string& name, int chair, const std::string& watched, int portrait,
                       int raised, int dropped) {
    return net::JoinFields({name, "1001", "250", "3", watched, "10", "50", "0", "5", "5", "0", "0",
                            std::to_string(portrait), std::to_string(chair), std::to_string(raised),
                            std::to_string(dropped)});
}

Bytes WholeList(std::initializer_list<std::string> records) {
    std::string text;
    for (const auto& record : records) {
        if (!text.empty()) text += "\n";
        text += record;
    }
    return Text(130, 2, text);
}

Bytes Settings(bool owner, int settingsFlag, int approval, std::string_view settings) {
    std::string body = net::JoinFields({"a", "b", "c", owner ? "1" : "0", "d",
                                        std::to_string(settingsFlag), std::to_string(approval)});
    if (!settings.empty()) body += "`" + std::string(settings);
    return Text(111, 0, body);
}

Bytes NewHand::Build() const {
    Bytes message(29, 0);
    message[0] = 17;
    message[3] = autoPlayLimit;
    message[11] = dealer;
    message[12] = dice;
    message[13] = 0;  // ordinary draws from chair 0's segment
    message[14] = 3;  // replacement draws from chair 3's segment
    message[15] = dealer;
    message[16] = phase;
    message[17] = 0;
    for (int chair = 0; chair < 4; ++chair) {
        message[18 + 2 * chair] = 0;
        message[19 + 2 * chair] = 33;
    }
    message[26] = wildIndicator;
    message[27] = wildTile;
    return message;
}

Bytes Deal(std::uint8_t chair, std::uint8_t tile, std::span<const std::uint8_t> hand) {
    Bytes message{28, 1, chair, tile};
    message.insert(message.end(), hand.begin(), hand.end());
    return message;
}

Bytes Deal(std::uint8_t chair, std::uint8_t tile, std::initializer_list<std::uint8_t> hand) {
    return Deal(chair, tile, std::span(hand.begin(), hand.size()));
}

Bytes Draw(std::uint8_t chair, std::uint8_t tile) {
    return Bytes{25, 0, chair, tile};
}

Bytes DiscardMsg(std::uint8_t chair, std::uint8_t tile, std::uint8_t ting, std::uint8_t nextChair,
                 std::uint8_t nextTile) {
    return Bytes{19, 0, chair, tile, ting, 0, nextChair, nextTile};
}

Bytes WinMessage(std::initializer_list<std::uint8_t> chairs) {
    Bytes message{23, static_cast<std::uint8_t>(chairs.size())};
    for (const std::uint8_t chair : chairs) {
        message.insert(message.end(), {chair, 0, 0});
        message.insert(message.end(), 17, 0);
    }
    message.insert(message.end(), 8 * 4 + 4 + 8 + 1 + 24, 0);
    return message;
}

Bytes DiscardRequest(std::uint8_t chair, std::uint8_t tile, std::uint8_t firstWinning) {
    return net::requests::Discard(chair, tile, 0, firstWinning);
}

namespace {

void EnterTable(SessionRig& rig, const std::string& viewName,
                std::initializer_list<std::string> extraRecords) {
    rig.Feed(Text(130, 3, net::JoinFields({rig.session->globals().strUserName(), viewName})));
    std::vector<std::string> records{UserRecord("east", 0), UserRecord("me", 1),
                                     UserRecord("west", 2), UserRecord("north", 3)};
    records.insert(records.end(), extraRecords.begin(), extraRecords.end());
    std::string text;
    for (const auto& record : records) text += (text.empty() ? "" : "\n") + record;
    rig.Feed(Text(130, 2, text));
    rig.Feed(Settings(false, 0, 0));
}

}  // namespace

void EnterAsPlayer(SessionRig& rig) {
    EnterTable(rig, "me", {});
}

void EnterAsOnlooker(SessionRig& rig) {
    EnterTable(rig, "me", {UserRecord("eye", 0, "me")});
}

}  // namespace qira::play::testing
