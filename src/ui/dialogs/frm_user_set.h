#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QPushButton>
#include <array>
#include <functional>
#include <span>

#include "dialogs/user_prefs.h"

namespace qira::dialogs {

// The preferences window ("用户设置") over UserSetDialog. Create it with new
// and show it without waiting; it deletes itself when it closes.
class frmUserSet : public QDialog {
    Q_OBJECT
public:
    using RequestSink = std::function<void(std::span<const std::uint8_t> message)>;

    // `values` must outlive the window; `sendRequest` receives the 113/1
    // request when the onlooker preference changed.
    frmUserSet(UserSet& values, std::string strAppPath, std::string strUserName,
               RequestSink sendRequest, QWidget* parent = nullptr);

    std::array<QGroupBox, 2> famUser;  // "基本设置", "提示设置"
    std::array<QCheckBox, kPreferenceCount> chkUser;
    std::array<QPushButton, 3> cmdUser;

private:
    void OnButton(UserSetButton button);

    UserSetDialog model_;
    RequestSink sendRequest_;
};

}  // namespace qira::dialogs
