#include "ui/platform/user_list_widget.h"

#include <QHeaderView>
#include <QVBoxLayout>
#include <algorithm>
#include <charconv>
#include <memory>

#include "net/packet.h"

namespace qira::platform {

namespace {

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::int32_t ParseInt(std::string_view text) {
    std::int32_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

constexpr int kLevelColumn = 3;
constexpr int kBatchMilliseconds = 150;

}  // namespace

UserListWidget::UserListWidget(QWidget* parent) : QWidget(parent), title_(this), view_(this) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(&title_);
    layout->addWidget(&view_);
    view_.setObjectName(QStringLiteral("lstUser"));
    view_.setRootIsDecorated(false);
    view_.setUniformRowHeights(true);
    view_.setAlternatingRowColors(true);
    view_.setSelectionMode(QAbstractItemView::SingleSelection);
    view_.setContextMenuPolicy(Qt::CustomContextMenu);
    view_.header()->setStretchLastSection(false);
    title_.setText(QStringLiteral("用户列表"));
    batch_.setSingleShot(true);
    batch_.setInterval(kBatchMilliseconds);
    connect(&batch_, &QTimer::timeout, this, &UserListWidget::ApplyPendingRows);
    connect(&view_, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { Activate(item, false); });
    connect(&view_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QTreeWidgetItem* item = view_.itemAt(at);
        if (item) view_.setCurrentItem(item);
        Activate(item, true);
    });
}

void UserListWidget::Activate(QTreeWidgetItem* item, bool menuRequest) {
    if (!item) return;
    const QString name = item->data(0, Qt::UserRole).toString();
    const std::string record = users_.FindUser(name.toStdString());
    if (record.empty()) return;
    emit UserActivated(menuRequest, name, QString::fromStdString(record));
}

void UserListWidget::SetLocalUserName(std::string_view name) {
    localName_ = name;
    Rebuild();
}

void UserListWidget::SetColours(const QColor& titleBackground, const QColor& titleText,
                                int padding) {
    title_.SetColours(titleBackground, titleText, padding);
}

void UserListWidget::SetTitle(std::string_view title) {
    title_.setText(FromUtf8(title));
}

void UserListWidget::SetThirdColumnTitle(std::string_view title) {
    while (columnTitles_.size() < 3) columnTitles_.append(QString());
    columnTitles_[2] = FromUtf8(title);
    ApplyHeader();
}

void UserListWidget::SetColumns(std::string_view titles, int shownCount) {
    columnTitles_.clear();
    for (const auto& title : net::SplitFields(titles)) columnTitles_.append(FromUtf8(title));
    shownColumns_ = std::clamp(shownCount, 1, static_cast<int>(players::kUserRecordFieldCount));
    Rebuild();
}

void UserListWidget::SetColumnWidths(std::string_view widths) {
    columnWidths_.clear();
    for (const auto& width : net::SplitFields(widths)) columnWidths_.push_back(ParseInt(width));
    ApplyHeader();
}

void UserListWidget::SetLevelInfo(std::string_view strLevelInfo) {
    levels_ = launch::ParseLevelInfo(strLevelInfo);
    Rebuild();
}

void UserListWidget::ApplyHeader() {
    view_.setColumnCount(shownColumns_);
    QStringList shown = columnTitles_.mid(0, shownColumns_);
    while (shown.size() < shownColumns_) shown.append(QString());
    view_.setHeaderLabels(shown);
    for (int column = 0; column < shownColumns_; ++column) {
        const auto index = static_cast<std::size_t>(column);
        if (index < columnWidths_.size() && columnWidths_[index] > 0)
            view_.setColumnWidth(column, columnWidths_[index]);
    }
}

QStringList UserListWidget::RowTexts(const players::UserRecord& record) const {
    QStringList texts;
    for (int column = 0; column < shownColumns_; ++column) {
        const std::string& field = record[static_cast<std::size_t>(column)];
        if (column == kLevelColumn)
            texts.append(FromUtf8(launch::GetLevelTitle(levels_, ParseInt(field))));
        else
            texts.append(FromUtf8(field));
    }
    return texts;
}

void UserListWidget::Rebuild() {
    const QString selected =
        view_.currentItem() ? view_.currentItem()->data(0, Qt::UserRole).toString() : QString();
    batch_.stop();
    arrived_.clear();
    departed_ = false;
    rows_.clear();
    view_.clear();
    ApplyHeader();
    QList<QTreeWidgetItem*> items;
    for (const std::string& name : users_.Names())
        if (QTreeWidgetItem* item = NewRow(name)) items.append(item);
    view_.addTopLevelItems(items);
    if (QTreeWidgetItem* item = RowOf(selected.toStdString())) view_.setCurrentItem(item);
}

QTreeWidgetItem* UserListWidget::NewRow(const std::string& name) {
    auto item = std::make_unique<QTreeWidgetItem>();
    item->setData(0, Qt::UserRole, FromUtf8(name));
    if (!FillRow(*item, name)) return nullptr;
    rows_[name] = item.get();
    return item.release();  // the view takes it
}

bool UserListWidget::FillRow(QTreeWidgetItem& item, const std::string& name) {
    const auto record = players::ParseUserRecord(users_.FindUser(name));
    if (!record) return false;
    const QStringList texts = RowTexts(*record);
    for (int column = 0; column < texts.size(); ++column) item.setText(column, texts[column]);
    const bool local = name == localName_;
    const bool onlooker = players::IsOnlooker(*record);
    for (int column = 0; column < shownColumns_; ++column) {
        item.setData(column, Qt::FontRole, QVariant());
        item.setData(column, Qt::ForegroundRole, QVariant());
        if (local) {
            QFont bold = item.font(column);
            bold.setBold(true);
            item.setFont(column, bold);
        }
        if (onlooker) item.setForeground(column, QColor(110, 110, 110));
    }
    return true;
}

QTreeWidgetItem* UserListWidget::RowOf(std::string_view name) const {
    const auto found = rows_.find(std::string(name));
    return found == rows_.end() ? nullptr : found->second;
}

bool UserListWidget::AddUser(std::string_view record) {
    if (!users_.AddUser(record)) return false;
    arrived_.push_back((*players::ParseUserRecord(record))[players::kName]);
    SchedulePendingRows();
    return true;
}

bool UserListWidget::RemoveUser(std::string_view name) {
    if (!users_.RemoveUser(name)) return false;
    departed_ = true;
    SchedulePendingRows();
    return true;
}

bool UserListWidget::RefreshUser(std::string_view record) {
    if (!users_.RefreshUser(record)) return false;
    const auto parsed = players::ParseUserRecord(record);
    const std::string& name = (*parsed)[players::kName];
    if (QTreeWidgetItem* item = RowOf(name)) FillRow(*item, name);
    return true;
}

void UserListWidget::SchedulePendingRows() {
    if (!batch_.isActive()) batch_.start();
}

// One pass over the rows takes away every departed user's.
void UserListWidget::DropRowsOfDeparted() {
    if (!departed_) return;
    departed_ = false;
    const QTreeWidgetItem* current = view_.currentItem();
    const std::string selected =
        current ? current->data(0, Qt::UserRole).toString().toStdString() : std::string();
    QList<QTreeWidgetItem*> kept = view_.invisibleRootItem()->takeChildren();
    kept.removeIf([this](QTreeWidgetItem* item) {
        const std::string name = item->data(0, Qt::UserRole).toString().toStdString();
        if (users_.Contains(name)) return false;
        rows_.erase(name);
        delete item;
        return true;
    });
    view_.addTopLevelItems(kept);
    if (QTreeWidgetItem* item = RowOf(selected)) view_.setCurrentItem(item);
}

void UserListWidget::ApplyPendingRows() {
    batch_.stop();
    DropRowsOfDeparted();
    QList<QTreeWidgetItem*> items;
    for (const std::string& name : arrived_) {
        if (!users_.Contains(name)) continue;
        if (QTreeWidgetItem* row = RowOf(name))
            FillRow(*row, name);  // left and came back within the batch
        else if (QTreeWidgetItem* item = NewRow(name))
            items.append(item);
    }
    arrived_.clear();
    view_.addTopLevelItems(items);
}

void UserListWidget::ClearUsers() {
    users_.Clear();
    Rebuild();
}

std::vector<std::string> UserListWidget::LoadWholeList(std::string_view text) {
    const std::vector<std::string> names = users_.LoadList(text);
    Rebuild();
    emit ListLoaded(FromUtf8(net::JoinFields(names)));
    return names;
}

}  // namespace qira::platform
