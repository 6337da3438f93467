#include "ui/dialogs/frm_user_set.h"

namespace qira::dialogs {
namespace {

constexpr QSize kWindowSize{300, 262};
constexpr std::array<QRect, 2> kFrames{QRect(10, 8, 280, 102), QRect(10, 116, 280, 102)};
constexpr int kCheckLeft = 20;
constexpr int kCheckTop = 24;
constexpr int kCheckSpacing = 24;
constexpr QSize kCheckSize{240, 20};
constexpr QSize kButtonSize{81, 25};
constexpr int kButtonTop = 228;
constexpr int kButtonGap = 8;

QString FromView(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

frmUserSet::frmUserSet(UserSet& values, std::string strAppPath, std::string strUserName,
                       RequestSink sendRequest, QWidget* parent)
    : QDialog(parent),
      model_(values, std::move(strAppPath), std::move(strUserName)),
      sendRequest_(std::move(sendRequest)) {
    setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(FromView(UserSetDialog::WindowCaption()));
    setFixedSize(kWindowSize);

    for (std::size_t frame = 0; frame < famUser.size(); ++frame) {
        famUser[frame].setParent(this);
        famUser[frame].setGeometry(kFrames[frame]);
        famUser[frame].setTitle(FromView(UserSetDialog::FrameCaption(static_cast<int>(frame))));
    }
    std::array<int, 2> placed{};
    for (int index = 0; index < kPreferenceCount; ++index) {
        const int frame = UserSetDialog::FrameOf(index);
        QCheckBox& check = chkUser[static_cast<std::size_t>(index)];
        check.setParent(&famUser[static_cast<std::size_t>(frame)]);
        check.setText(FromView(UserSetDialog::CheckCaption(index)));
        check.setGeometry(kCheckLeft,
                          kCheckTop + kCheckSpacing * placed[static_cast<std::size_t>(frame)]++,
                          kCheckSize.width(), kCheckSize.height());
        check.setChecked(model_.IsChecked(index));
        connect(&check, &QCheckBox::toggled, this,
                [this, index](bool on) { model_.SetChecked(index, on); });
    }
    const int rowWidth = 3 * kButtonSize.width() + 2 * kButtonGap;
    for (const UserSetButton button :
         {UserSetButton::Default, UserSetButton::Confirm, UserSetButton::Cancel}) {
        const auto index = static_cast<std::size_t>(button);
        QPushButton& command = cmdUser[index];
        command.setParent(this);
        command.setText(FromView(UserSetDialog::ButtonCaption(button)));
        command.setGeometry((kWindowSize.width() - rowWidth) / 2 +
                                static_cast<int>(index) * (kButtonSize.width() + kButtonGap),
                            kButtonTop, kButtonSize.width(), kButtonSize.height());
        command.setAutoDefault(false);
        connect(&command, &QPushButton::clicked, this, [this, button] { OnButton(button); });
    }
    cmdUser[static_cast<std::size_t>(UserSetButton::Confirm)].setDefault(true);
}

void frmUserSet::OnButton(UserSetButton button) {
    const auto request = model_.PressButton(button);
    if (button == UserSetButton::Default) {
        for (int index = 0; index < kPreferenceCount; ++index)
            chkUser[static_cast<std::size_t>(index)].setChecked(model_.IsChecked(index));
        return;
    }
    if (request && sendRequest_) sendRequest_(*request);
    close();
}

}  // namespace qira::dialogs
