#include "ui/dialogs/frm_user_menu.h"

namespace qira::dialogs {

frmUserMenu::frmUserMenu(const players::UserMenu& menu, QWidget* parent)
    : QMenu(parent), menu_(menu) {
    for (int index = 0; index < players::kUserMenuItemCount; ++index) {
        const std::string& caption = menu_.captions[static_cast<std::size_t>(index)];
        QAction* item = nullptr;
        if (caption == players::kUserMenuSeparator) {
            item = addSeparator();
        } else {
            // A "&" in a user's name is shown, not taken as a shortcut mark.
            item = addAction(QString::fromStdString(caption).replace('&', "&&"));
            connect(item, &QAction::triggered, this, [this, index] { emit itemChosen(index); });
        }
        item->setData(QString::fromStdString(menu_.tag));
        items_[static_cast<std::size_t>(index)] = item;
    }
}

frmUserMenu* frmUserMenu::PopUp(std::string_view record, const launch::ClientGlobals& globals,
                                const QPoint& position, QWidget* parent) {
    const auto menu = players::BuildUserMenu(record, globals);
    if (!menu) return nullptr;
    auto* popup = new frmUserMenu(*menu, parent);
    popup->setAttribute(Qt::WA_DeleteOnClose);
    popup->popup(position);
    return popup;
}

}  // namespace qira::dialogs
