#include "launch/client_end.h"

#include "launch/client_exit.h"

namespace qira::launch {

std::string ServerAddress(std::string_view host, std::string_view port) {
    const bool ipv6 = host.find(':') != std::string_view::npos;
    std::string address = ipv6 ? "[" + std::string(host) + "]" : std::string(host);
    return address + ":" + std::string(port);
}

std::optional<EndNotice> NoticeFor(const ClientEnd& end) {
    if (end.status == StatusOf(ClientExit::LeftTable)) {
        std::string text = "你已离开牌桌";
        if (!end.note.empty()) text += "\n" + end.note;
        return EndNotice{std::move(text), "再来一局"};
    }
    if (end.status == StatusOf(ClientExit::ConnectionLost)) {
        std::string text = "与服务器的连接断开了";
        if (!end.note.empty()) text += "\n" + end.note;  // the server's reason
        return EndNotice{std::move(text), "重新连接", true};
    }
    if (end.status == StatusOf(ClientExit::ServerUnreachable)) {
        std::string text = "无法连接到服务器 " + end.serverAddress;
        if (!end.reason.empty()) text += "（" + end.reason + "）";
        return EndNotice{std::move(text), "重新连接", true};
    }
    return std::nullopt;
}

int RunClientsUntilDone(const std::function<ClientEnd()>& runClient,
                        const std::function<PlayerChoice(const EndNotice&)>& ask) {
    for (;;) {
        const ClientEnd end = runClient();
        const auto notice = NoticeFor(end);
        if (!notice) return end.status.value_or(1);
        if (ask(*notice) == PlayerChoice::StartAnother) continue;
        return end.status == StatusOf(ClientExit::LeftTable) ? 0 : *end.status;
    }
}

}  // namespace qira::launch
