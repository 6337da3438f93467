#pragma once

#include <QAction>
#include <QMenu>
#include <array>

#include "players/user_list.h"

namespace qira::dialogs {

// The pop-up menu on a user (mnuUser): the eight items of the user's menu,
// items 3 and 5 as separator lines, every item tagged with the user's name.
class frmUserMenu : public QMenu {
    Q_OBJECT
public:
    explicit frmUserMenu(const players::UserMenu& menu, QWidget* parent = nullptr);

    QAction* mnuUserItem(int index) const { return items_.at(static_cast<std::size_t>(index)); }
    const players::UserMenu& Menu() const { return menu_; }

    // Builds the menu for a 16-field record and pops it up at `position`
    // without waiting; it deletes itself when it closes. Null (nothing shown)
    // for other records. Connect `itemChosen` to ExecUserMenu.
    static frmUserMenu* PopUp(std::string_view record, const launch::ClientGlobals& globals,
                              const QPoint& position, QWidget* parent = nullptr);

signals:
    void itemChosen(int lngUserMenuItemIdx);

private:
    players::UserMenu menu_;
    std::array<QAction*, players::kUserMenuItemCount> items_{};
};

}  // namespace qira::dialogs
