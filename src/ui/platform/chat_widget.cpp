#include "ui/platform/chat_widget.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollBar>
#include <QTextCursor>
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
    targets_.setMinimumContentsLength(4);
    targets_.setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    targets_.setMaximumWidth(84);
    targets_.addItem(FromUtf8(players::kChatEveryone));
    input_.setMaxLength(static_cast<int>(players::kMaxChatTextCharacters));
    input_.setPlaceholderText(QStringLiteral("在这里输入聊天内容"));
    send_.setText(QStringLiteral("发送"));
    send_.setMaximumWidth(48);
    connect(&input_, &QLineEdit::returnPressed, this, &ChatWidget::SubmitInput);
    connect(&send_, &QPushButton::clicked, this, &ChatWidget::SubmitInput);
}

void ChatWidget::SetTitle(std::string_view title) {
    title_.setText(FromUtf8(title));
}

void ChatWidget::AppendLine(const QString& prefix, const QString& text,
                            const QTextCharFormat& format) {
    QTextCursor cursor(lines_.document());
    cursor.movePosition(QTextCursor::End);
    if (!lines_.document()->isEmpty()) cursor.insertBlock();
    if (showTime_)
        cursor.insertText(QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss ")),
                          PlainFormat(QColor(120, 120, 120)));
    // insertText never interprets markup, so whatever a user sends stays text.
    if (!prefix.isEmpty()) cursor.insertText(prefix, PlainFormat(QColor(0, 0, 160), true));
    cursor.insertText(text, format);
    lines_.verticalScrollBar()->setValue(lines_.verticalScrollBar()->maximum());
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
    const QString target = FromUtf8(name);
    if (target.isEmpty() || target == FromUtf8(players::kChatEveryone)) return;
    const int index = targets_.findText(target, Qt::MatchExactly);
    if (action == TargetAction::Add && index < 0) targets_.addItem(target);
    if (action != TargetAction::Remove || index <= 0) return;
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
    lines_.clear();
    while (targets_.count() > 1) targets_.removeItem(1);
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
