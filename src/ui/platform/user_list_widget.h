#pragma once

#include <QTimer>
#include <QTreeWidget>
#include <QWidget>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "launch/globals.h"
#include "players/user_list.h"
#include "ui/platform/pane_title.h"

namespace qira::platform {

// The user list (lstUser): one row per user at the table, showing the first
// columns of the sixteen-field record. The records live in players::UserList;
// the widget only shows them and reports clicks.
//
// Arrivals and departures reach the rows in batches, a few times a second at
// most: the view lays itself out again after every change, so a flood of
// thousands of arrivals, each in its own turn of the event loop, would
// otherwise cost time in proportion to their number squared. The records
// themselves change at once; `view()` hands out the rows up to date.
class UserListWidget : public QWidget {
    Q_OBJECT
public:
    explicit UserListWidget(QWidget* parent = nullptr);

    void SetLocalUserName(std::string_view name);
    // The title strip's colours and its padding in pixels.
    void SetColours(const QColor& titleBackground, const QColor& titleText, int padding);
    void SetTitle(std::string_view title);
    void SetThirdColumnTitle(std::string_view title);
    // Column titles joined by the separator, and how many of them are shown.
    void SetColumns(std::string_view titles, int shownCount);
    // Column widths in pixels joined by the separator.
    void SetColumnWidths(std::string_view widths);
    // The level table: the level column shows the title of each user's level.
    void SetLevelInfo(std::string_view strLevelInfo);

    bool AddUser(std::string_view record);
    bool RemoveUser(std::string_view name);
    std::string FindUser(std::string_view name) const { return users_.FindUser(name); }
    bool RefreshUser(std::string_view record);
    void ClearUsers();
    // Replaces the list with the server's whole-list text and raises
    // ListLoaded. Returns the loaded names in list order.
    std::vector<std::string> LoadWholeList(std::string_view text);

    const players::UserList& users() const { return users_; }
    QTreeWidget& view() {
        ApplyPendingRows();
        return view_;
    }
    // Brings the rows up to date with the records now rather than with the next batch.
    void ApplyPendingRows();
    QString Title() const { return title_.text(); }

signals:
    // The names of all users joined by the separator.
    void ListLoaded(const QString& names);
    // `menuRequest` is set for the right button (the user menu), clear for a
    // plain click (the user becomes the chat target).
    void UserActivated(bool menuRequest, const QString& name, const QString& record);

private:
    void Rebuild();
    QTreeWidgetItem* NewRow(const std::string& name);
    bool FillRow(QTreeWidgetItem& item, const std::string& name);
    QTreeWidgetItem* RowOf(std::string_view name) const;
    void DropRowsOfDeparted();
    void SchedulePendingRows();
    QStringList RowTexts(const players::UserRecord& record) const;
    void ApplyHeader();
    void Activate(QTreeWidgetItem* item, bool menuRequest);

    PaneTitle title_;
    QTreeWidget view_;
    players::UserList users_;
    std::string localName_;
    std::vector<launch::LevelEntry> levels_;
    QStringList columnTitles_;
    int shownColumns_ = 11;
    std::vector<int> columnWidths_;
    // Each shown user's row, by name.
    std::unordered_map<std::string, QTreeWidgetItem*> rows_;
    std::vector<std::string> arrived_;  // names whose rows wait for the next batch
    bool departed_ = false;             // some rows wait to be taken away
    QTimer batch_;
};

}  // namespace qira::platform
