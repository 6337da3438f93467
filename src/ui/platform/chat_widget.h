#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTextBrowser>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <span>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "players/chat_message.h"
#include "ui/platform/pane_title.h"

namespace qira::platform {

// The chat pane (TivChat): the lines of the room, a list of chat targets
// headed by "所有人", and an input line. Typing a line and pressing Enter or
// "发送" raises SendRequested with the ten chat fields; the pane does not show
// its own lines itself, the server relays them back.
class ChatWidget : public QWidget {
    Q_OBJECT
public:
    // The pane keeps the latest lines only, so that a long evening or a flood
    // of messages does not grow the client without end.
    static constexpr int kMaxLines = 500;

    explicit ChatWidget(QWidget* parent = nullptr);

    // The folder of the expression pictures ("<face>.bmp"), the program folder
    // and the local page are kept for the lines that show expressions.
    void SetFaceFolder(std::string_view folder) { faceFolder_ = folder; }
    void SetAppPath(std::string_view folder) { appPath_ = folder; }
    void SetLocalPage(std::string_view page) { localPage_ = page; }
    void SetLocalUserName(std::string_view name) { localName_ = name; }
    void SetTitle(std::string_view title);
    // Whether lines carry the time they arrived.
    void SetShowTime(bool show) { showTime_ = show; }
    // Whether the pane shows its own lines at once instead of waiting for the
    // server's relay.
    void SetEchoOwnLines(bool echo) { echoOwnLines_ = echo; }

    void ShowSystemLine(std::string_view text);
    void ShowLine(std::string_view text);
    // The eight display fields of a relayed chat message; too few fields or
    // an empty text show nothing.
    void ShowChatMessage(std::span<const std::string> fields);

    enum class TargetAction { Add, Remove };
    void ChangeChatTarget(TargetAction action, std::string_view name);
    // A user name or "所有人"; a name not yet among the targets is added.
    void SetCurrentTarget(std::string_view name);
    std::string CurrentTarget() const;
    std::vector<std::string> Targets() const;
    // Empties the lines and the targets, keeping "所有人".
    void ClearChat();

    // What the user would send (for the window's own send button and tests).
    void SubmitInput();

    // The lines shown, with any that wait for the next batch (see AppendLine).
    QTextBrowser& lines() {
        ShowPendingLines();
        return lines_;
    }
    void ShowPendingLines();
    QLineEdit& input() { return input_; }
    QPushButton& sendButton() { return send_; }
    QComboBox& targets() { return targets_; }
    QString Title() const { return title_.text(); }

signals:
    void SendRequested(const std::vector<std::string>& fields);

private:
    struct PendingLine {
        QString time;
        QString prefix;
        QString text;
        QTextCharFormat format;
    };
    void AppendLine(const QString& prefix, const QString& text, const QTextCharFormat& format);
    void DropUnusedFormats();
    QTextCharFormat MessageFormat(const players::ChatMessage& message) const;

    PaneTitle title_;
    QTextBrowser lines_;
    QComboBox targets_;
    QLineEdit input_;
    QPushButton send_;
    std::deque<PendingLine> pending_;  // at most kMaxLines: older ones would scroll away unseen
    QTimer batch_;
    std::string faceFolder_;
    std::string appPath_;
    std::string localPage_;
    std::string localName_;
    // The names in `targets_`, so that thousands of arrivals each check
    // their name at once rather than by a search of the list.
    std::unordered_set<std::string> targetNames_;
    bool showTime_ = true;
    bool echoOwnLines_ = false;
};

}  // namespace qira::platform
