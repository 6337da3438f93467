#include "ui/platform/chat_widget.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocumentFragment>
#include <QVBoxLayout>

namespace qira::platform {

namespace {

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QTextCharFormat PlainFormat(const QColor& colour, bool bold = false) {
    QTextCharFormat format;
    format.setForeground(colour);
    format.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    return format;
}

// A document keeps every character format it was ever given, even after
// the lines using it have gone; past this many it is copied afresh.
constexpr int kMaxFormats = 2000;
constexpr int kBatchMilliseconds = 100;

}  // namespace

ChatWidget::ChatWidget(QWidget* parent)
    : QWidget(parent), title_(this), lines_(this), targets_(this), input_(this), send_(this) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(&title_);
    layout->addWidget(&lines_, 1);
    auto* inputRow = new QHBoxLayout;
    inputRow->setSpacing(3);
    auto* toLabel = new QLabel(QStringLiteral("对"), this);
    inputRow->addWidget(toLabel);
    inputRow->addWidget(&targets_);
    inputRow->addWidget(&input_, 1);
    inputRow->addWidget(&send_);
    layout->addLayout(inputRow);

    title_.setText(QStringLiteral("聊天室"));
    lines_.setObjectName(QStringLiteral("TivChat"));
    lines_.setOpenLinks(false);
    lines_.setReadOnly(true);
    lines_.setUndoRedoEnabled(false);  // an undo history would keep every line ever shown
    lines_.document()->setMaximumBlockCount(kMaxLines);
    targets_.setMinimumContentsLength(4);
    targets_.setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    targets_.setMaximumWidth(84);
    targets_.addItem(FromUtf8(players::kChatEveryone));
    input_.setMaxLength(static_cast<int>(players::kMaxChatTextCharacters));
    input_.setPlaceholderText(QStringLiteral("在这里输入聊天内容"));
    send_.setText(QStringLiteral("发送"));
    send_.setMaximumWidth(48);
    batch_.setSingleShot(true);
    batch_.setInterval(kBatchMilliseconds);
    connect(&batch_, &QTimer::timeout, this, &ChatWidget::ShowPendingLines);
    connect(&input_, &QLineEdit::returnPressed, this, &ChatWidget::SubmitInput);
    connect(&send_, &QPushButton::clicked, this, &ChatWidget::SubmitInput);
}

void ChatWidget::SetTitle(std::string_view title) {
    title_.setText(FromUtf8(title));
}

// Lines reach the pane in batches, a few times a second at most: the pane
// lays out and scrolls once per batch, and of a flood only the lines that
// stay are ever laid out.
void ChatWidget::AppendLine(const QString& prefix, const QString& text,
                            const QTextCharFormat& format) {
    const QString time =
        showTime_ ? QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss ")) : QString();
    pending_.push_back({time, prefix, text, format});
    if (pending_.size() > static_cast<std::size_t>(kMaxLines)) pending_.pop_front();
    if (!batch_.isActive()) batch_.start();
}

void ChatWidget::ShowPendingLines() {
    batch_.stop();
    if (pending_.empty()) return;
    QTextCursor cursor(lines_.document());
    cursor.beginEditBlock();
    cursor.movePosition(QTextCursor::End);
    for (const PendingLine& line : pending_) {
        if (!lines_.document()->isEmpty()) cursor.insertBlock();
        if (!line.time.isEmpty()) cursor.insertText(line.time, PlainFormat(QColor(120, 120, 120)));
        // insertText never interprets markup, so whatever a user sends stays text.
        if (!line.prefix.isEmpty())
            cursor.insertText(line.prefix, PlainFormat(QColor(0, 0, 160), true));
        cursor.insertText(line.text, line.format);
    }
    cursor.endEditBlock();
    pending_.clear();
    DropUnusedFormats();
    lines_.verticalScrollBar()->setValue(lines_.verticalScrollBar()->maximum());
}

// Relayed lines choose their own colour, font and size, so a stream of
// lines in ever new looks would grow the document's format table; a copy of
// the kept lines holds only the formats they use.
void ChatWidget::DropUnusedFormats() {
    QTextDocument* old = lines_.document();
    if (old->allFormats().size() <= kMaxFormats) return;
    auto* fresh = new QTextDocument(&lines_);
    fresh->setDefaultFont(old->defaultFont());
    fresh->setMaximumBlockCount(kMaxLines);
    fresh->setUndoRedoEnabled(false);
    QTextCursor(fresh).insertFragment(QTextDocumentFragment(old));
    // The pane deletes some documents it lets go of itself, not all.
    const QPointer<QTextDocument> replaced(old);
    lines_.setDocument(fresh);
    delete replaced.data();
}

void ChatWidget::ShowSystemLine(std::string_view text) {
    AppendLine(QStringLiteral("【系统】"), FromUtf8(text), PlainFormat(QColor(200, 0, 0)));
}

void ChatWidget::ShowLine(std::string_view text) {
    AppendLine(QString(), FromUtf8(text), PlainFormat(QColor(0, 0, 0)));
}

QTextCharFormat ChatWidget::MessageFormat(const players::ChatMessage& message) const {
    QTextCharFormat format;
    format.setForeground(QColor(FromUtf8(message.colour)));
    format.setFontFamilies({FromUtf8(message.font)});
    format.setFontPointSize(message.pointSize);
    const bool bold = message.style == players::ChatStyle::Bold ||
                      message.style == players::ChatStyle::BoldItalic;
    const bool italic = message.style == players::ChatStyle::Italic ||
                        message.style == players::ChatStyle::BoldItalic;
    format.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    format.setFontItalic(italic);
    return format;
}

void ChatWidget::ShowChatMessage(std::span<const std::string> fields) {
    const auto message = players::ChatMessageFromDisplayFields(fields);
    if (!message) return;
    const bool toEveryone = message->target == players::kChatEveryone;
    const QString target =
        message->target == localName_ ? QStringLiteral("你") : FromUtf8(message->target);
    const QString verb = toEveryone ? QStringLiteral(" 说：") : QStringLiteral(" 悄悄地说：");
    AppendLine(FromUtf8(message->sender) + QStringLiteral(" 对 ") + target + verb,
               FromUtf8(message->text), MessageFormat(*message));
}

void ChatWidget::ChangeChatTarget(TargetAction action, std::string_view name) {
    if (name.empty() || name == players::kChatEveryone) return;
    const std::string key(name);
    const bool listed = targetNames_.contains(key);
    if (action == TargetAction::Add) {
        if (!listed) targets_.addItem(FromUtf8(name));
        targetNames_.insert(key);
        return;
    }
    if (!listed) return;
    targetNames_.erase(key);
    const int index = targets_.findText(FromUtf8(name), Qt::MatchExactly);
    if (index <= 0) return;
    // A user who leaves stops being talked to; the line goes to everybody again.
    if (targets_.currentIndex() == index) targets_.setCurrentIndex(0);
    targets_.removeItem(index);
}

void ChatWidget::SetCurrentTarget(std::string_view name) {
    ChangeChatTarget(TargetAction::Add, name);
    const int index = targets_.findText(FromUtf8(name), Qt::MatchExactly);
    targets_.setCurrentIndex(index < 0 ? 0 : index);
}

std::string ChatWidget::CurrentTarget() const {
    return targets_.currentText().toStdString();
}

std::vector<std::string> ChatWidget::Targets() const {
    std::vector<std::string> names;
    for (int i = 0; i < targets_.count(); ++i) names.push_back(targets_.itemText(i).toStdString());
    return names;
}

void ChatWidget::ClearChat() {
    batch_.stop();
    pending_.clear();
    lines_.clear();
    targetNames_.clear();
    while (targets_.count() > 1) targets_.removeItem(targets_.count() - 1);
    targets_.setCurrentIndex(0);
}

void ChatWidget::SubmitInput() {
    players::ChatMessage message;
    message.sender = localName_;
    message.target = CurrentTarget();
    message.text = players::CleanChatText(input_.text().toStdString());
    if (message.text.empty()) return;
    input_.clear();
    const auto fields = players::ChatSendFields(message);
    if (echoOwnLines_) ShowChatMessage(std::span(fields).subspan(2));
    emit SendRequested(fields);
}

}  // namespace qira::platform
