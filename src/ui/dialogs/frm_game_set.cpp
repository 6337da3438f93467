#include "ui/dialogs/frm_game_set.h"

#include <QKeyEvent>
#include <QMessageBox>
#include <QPointer>
#include <QValidator>
#include <algorithm>

namespace qira::dialogs {
namespace {

constexpr QSize kWindowSize{340, 176};
constexpr QRect kFrame{10, 8, 320, 112};
constexpr int kBoxLeft = 150;
constexpr QSize kBoxSize{140, 22};
constexpr std::array<int, 2> kBoxTops{32, 70};
constexpr int kLabelOffset = 112;  // a label sits this far left of its box
constexpr int kLabelDrop = 3;
constexpr QSize kButtonSize{81, 25};
constexpr int kButtonTop = 136;
constexpr int kButtonGap = 24;

// ASCII digits only, nothing else at all. (A regular expression validator
// would bring in the PCRE2 engine, some 400 kB, for this one check.)
class DigitsValidator final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        const bool digits = std::all_of(input.cbegin(), input.cend(),
                                        [](QChar c) { return c >= u'0' && c <= u'9'; });
        return digits ? Acceptable : Invalid;
    }
};

void ShowSystemWarning(QWidget* parent, const QString& caption, const QString& text) {
    QMessageBox::warning(parent, caption, text);
}

}  // namespace

frmGameSet::frmGameSet(const std::string& strGameTitle, std::string strUserName,
                       RequestSink SendGameSetResult, QWidget* parent)
    : QDialog(parent),
      model_(strGameTitle, std::move(strUserName)),
      SendGameSetResult_(std::move(SendGameSetResult)),
      warningBox_(ShowSystemWarning) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QString::fromStdString(model_.WindowCaption()));
    setFixedSize(kWindowSize);

    famGameSet.setParent(this);
    famGameSet.setGeometry(kFrame);
    const std::array<QLabel*, 2> labels{&Label1, &Label2};
    for (int box = 0; box < 2; ++box) {
        QLineEdit& edit = txtUser[static_cast<std::size_t>(box)];
        edit.setParent(&famGameSet);
        edit.setGeometry(kBoxLeft, kBoxTops[static_cast<std::size_t>(box)], kBoxSize.width(),
                         kBoxSize.height());
        // Keys are filtered one by one; the validator also stops dropped or pasted text.
        edit.setValidator(new DigitsValidator(&edit));
        edit.setContextMenuPolicy(Qt::NoContextMenu);
        edit.installEventFilter(this);
        connect(&edit, &QLineEdit::textChanged, this,
                [this, box](const QString& text) { model_.SetBoxText(box, text.toStdString()); });
        QLabel& label = *labels[static_cast<std::size_t>(box)];
        label.setParent(&famGameSet);
        label.setText(
            QString::fromUtf8(GameSetModel::BoxLabel(box).data(),
                              static_cast<qsizetype>(GameSetModel::BoxLabel(box).size())));
        label.setGeometry(edit.x() - kLabelOffset, edit.y() + kLabelDrop, kLabelOffset - 4,
                          kBoxSize.height() - kLabelDrop);
    }
    const int firstLeft = (kWindowSize.width() - 2 * kButtonSize.width() - kButtonGap) / 2;
    for (const GameSetButton button : {GameSetButton::Confirm, GameSetButton::Cancel}) {
        QPushButton& command = cmdUser[static_cast<std::size_t>(button)];
        command.setParent(this);
        command.setGeometry(
            firstLeft + static_cast<int>(button) * (kButtonSize.width() + kButtonGap), kButtonTop,
            kButtonSize.width(), kButtonSize.height());
        command.setAutoDefault(false);
        connect(&command, &QPushButton::clicked, this, [this, button] { OnButton(button); });
    }
    cmdUser[0].setDefault(true);
    setTabOrder(&txtUser[0], &txtUser[1]);
    setTabOrder(&txtUser[1], &cmdUser[0]);
    setTabOrder(&cmdUser[0], &cmdUser[1]);

    tmrDelay.setInterval(1000);
    connect(&tmrDelay, &QTimer::timeout, this, &frmGameSet::OnDelayTick);
}

bool frmGameSet::SetInitGameSetInfo(bool blnDeskMaster, std::string_view strAllGameSetInfo) {
    const bool accepted = model_.SetInitGameSetInfo(
        blnDeskMaster ? DeskRole::Master : DeskRole::Player, strAllGameSetInfo);
    famGameSet.setTitle(QString::fromStdString(model_.FrameCaption()));
    for (int box = 0; box < 2; ++box) {
        QLineEdit& edit = txtUser[static_cast<std::size_t>(box)];
        edit.setReadOnly(!model_.AreBoxesEditable());
        QPalette colours = edit.palette();
        colours.setColor(QPalette::Base, model_.AreBoxesEditable()
                                             ? QColor(255, 255, 255)
                                             : palette().color(QPalette::Window));
        edit.setPalette(colours);
        const QSignalBlocker quiet(&edit);
        offered_[static_cast<std::size_t>(box)] = QString::fromStdString(model_.BoxText(box));
        edit.setText(offered_[static_cast<std::size_t>(box)]);
    }
    // The window opens with the keyboard on its first button, not in a box:
    // keys the player was pressing at the table must not change the stake.
    // Enter presses the first button; a click or Tab goes into a box.
    cmdUser[0].setFocus();
    RefreshCaptions();
    if (model_.IsTimerEnabled()) tmrDelay.start();
    return accepted;
}

bool frmGameSet::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    const QString text = key->text();
    // Keys that type nothing (arrows, delete, tab) are not characters to
    // filter, and Enter and Esc go on to the window.
    const bool control = text.size() == 1 && (text.at(0) < u' ' || text.at(0) == u'\x7f');
    if (text.isEmpty() || (control && text.at(0) != QChar(kBackspaceKey))) return false;
    const char32_t typed = text.size() == 1 ? text.at(0).unicode() : U'\0';
    return !AcceptsGameSetKey(typed);
}

void frmGameSet::RefreshCaptions() {
    for (const GameSetButton button : {GameSetButton::Confirm, GameSetButton::Cancel})
        cmdUser[static_cast<std::size_t>(button)].setText(
            QString::fromStdString(model_.ButtonCaption(button)));
}

void frmGameSet::OnDelayTick() {
    Apply(model_.Tick());
}

void frmGameSet::OnButton(GameSetButton button) {
    Apply(model_.PressButton(button));
}

void frmGameSet::Apply(const GameSetOutcome& outcome) {
    RefreshCaptions();
    if (outcome.warning) {
        tmrDelay.stop();
        // Messages keep arriving while the warning waits; one of them may
        // discard this window.
        const QPointer<frmGameSet> alive(this);
        warningBox_(this, QString::fromStdString(model_.GameTitle()),
                    QString::fromStdString(*outcome.warning));
        if (!alive) return;
        model_.ResumeAfterWarning();
        if (model_.IsTimerEnabled()) tmrDelay.start();
        return;
    }
    if (!model_.IsTimerEnabled()) tmrDelay.stop();
    if (outcome.request && SendGameSetResult_) SendGameSetResult_(*outcome.request);
    if (outcome.closeWindow) {
        answered_ = true;
        close();
    }
}

// Esc answers as the countdown would, with the settings the server offered.
void frmGameSet::keyPressEvent(QKeyEvent* event) {
    if (event->key() != Qt::Key_Escape || event->modifiers() != Qt::NoModifier)
        return QDialog::keyPressEvent(event);
    event->accept();
    AnswerWithOfferedSettings();
}

void frmGameSet::AnswerWithOfferedSettings() {
    for (std::size_t box = 0; box < txtUser.size(); ++box) txtUser[box].setText(offered_[box]);
    OnButton(GameSetButton::Confirm);
}

void frmGameSet::reject() {
    // The close box does not answer; only the buttons and Esc do.
    if (answered_) QDialog::reject();
}

}  // namespace qira::dialogs
