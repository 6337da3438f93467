#include "app/start_window.h"

#include <QAbstractSocket>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QDateTime>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTcpSocket>
#include <QTimer>
#include <QVBoxLayout>
#include <QtCharts/QBarCategoryAxis>
#include <QtCharts/QBarSeries>
#include <QtCharts/QBarSet>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>

#include "launch/bot_levels.h"
#include "launch/client_end.h"
#include "replay/hand_database.h"
#include "replay/hand_log.h"

namespace qira::app {
namespace {

constexpr int kProbeMilliseconds = 5000;
QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QPushButton* Button(const QString& caption, const QString& accessible, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setAccessibleName(accessible);
    return button;
}

QString HandTime(std::int64_t seconds) {
    if (seconds <= 0) return QStringLiteral("—");
    return QDateTime::fromSecsSinceEpoch(seconds).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

QString Players(const replay::MyHand& hand) {
    QStringList others;
    for (std::size_t c = 0; c < hand.players.size(); ++c)
        if (c != hand.seat && !hand.players[c].empty())
            others << QString::fromStdString(hand.players[c]);
    return others.join(QStringLiteral("、"));
}

QTableWidgetItem* Cell(const QString& text, Qt::Alignment align = Qt::AlignLeft) {
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(align | Qt::AlignVCenter);
    return item;
}

QChartView* ChartView(QChart* chart, const QString& accessible) {
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setBackgroundRoundness(0);
    chart->setMargins(QMargins(4, 4, 4, 4));
    auto* view = new QChartView(chart);
    view->setRenderHint(QPainter::Antialiasing);
    view->setAccessibleName(accessible);
    view->setMinimumHeight(150);
    return view;
}

QChart* PointsChart(const std::vector<std::int64_t>& pointsAfter) {
    auto* series = new QLineSeries;
    series->setName(QStringLiteral("每局后的累计得分"));
    series->append(0, 0);
    for (std::size_t i = 0; i < pointsAfter.size(); ++i)
        series->append(static_cast<double>(i + 1), static_cast<double>(pointsAfter[i]));
    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("得分走势"));
    chart->addSeries(series);
    auto* x = new QValueAxis;
    x->setTitleText(QStringLiteral("局数"));
    x->setLabelFormat(QStringLiteral("%d"));
    x->setRange(0, std::max<double>(1, static_cast<double>(pointsAfter.size())));
    auto* y = new QValueAxis;
    y->setTitleText(QStringLiteral("分"));
    y->setLabelFormat(QStringLiteral("%.0f"));
    const auto [low, high] = std::minmax_element(pointsAfter.begin(), pointsAfter.end());
    const double bottom = pointsAfter.empty() ? 0 : std::min<double>(0, double(*low));
    const double top = pointsAfter.empty() ? 10 : std::max<double>(0, double(*high));
    y->setRange(bottom - 5, top + 5);
    y->applyNiceNumbers();
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(x);
    series->attachAxis(y);
    chart->legend()->hide();
    return chart;
}

struct Group {
    QString name;
    const replay::RecordFigures* figures;
};

std::vector<Group> Groups(const replay::MyRecord& record) {
    std::vector<Group> groups{{QStringLiteral("全部"), &record.all}};
    for (const auto& choice : launch::kBotLevels)
        if (record.byLevel[choice.level].hands)
            groups.push_back(
                {QStringLiteral("对%1").arg(Text(choice.name)), &record.byLevel[choice.level]});
    if (record.byLevel[0].hands) groups.push_back({QStringLiteral("其他"), &record.byLevel[0]});
    return groups;
}

template <typename Value>
QChart* BarChart(const QString& title, const QStringList& categories,
                 const std::vector<Group>& groups, Value value, const QString& axisTitle) {
    auto* series = new QBarSeries;
    double low = 0, high = 0;
    for (const auto& group : groups) {
        auto* set =
            new QBarSet(QStringLiteral("%1 %2局").arg(group.name).arg(group.figures->hands));
        for (int i = 0; i < categories.size(); ++i) {
            const double v = value(*group.figures, i);
            *set << v;
            low = std::min(low, v);
            high = std::max(high, v);
        }
        series->append(set);
    }
    auto* chart = new QChart;
    chart->setTitle(title);
    chart->addSeries(series);
    auto* x = new QBarCategoryAxis;
    x->append(categories);
    auto* y = new QValueAxis;
    y->setTitleText(axisTitle);
    y->setLabelFormat(QStringLiteral("%.0f"));
    y->setRange(low, std::max(high, low + 1));
    y->applyNiceNumbers();
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(x);
    series->attachAxis(y);
    chart->legend()->setAlignment(Qt::AlignBottom);
    return chart;
}

}  // namespace

StartWindow::StartWindow(launch::StartSettings settings, Sources sources, QWidget* parent)
    : QDialog(parent),
      settings_(std::move(settings)),
      sources_(std::move(sources)),
      tabs_(new QTabWidget(this)),
      name_(new QLineEdit(QString::fromStdString(settings_.name), this)) {
    setWindowTitle(QStringLiteral("Qira麻将"));
    setAccessibleName(QStringLiteral("Qira麻将 开始"));
    name_->setMaxLength(16);
    name_->setAccessibleName(QStringLiteral("玩家名"));
    auto* nameLabel = new QLabel(QStringLiteral("玩家名(&N)："), this);
    nameLabel->setBuddy(name_);
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(nameLabel);
    nameRow->addWidget(name_, 1);

    tabs_->addTab(BuildLocalTab(), QStringLiteral("单机游戏"));
    tabs_->addTab(BuildJoinTab(), QStringLiteral("加入游戏"));
    tabs_->addTab(BuildHandsTab(), QStringLiteral("我的牌局"));
    tabs_->addTab(BuildRecordTab(), QStringLiteral("战绩"));
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int tab) {
        if (tab == 2 || tab == 3) LoadHands();
    });
    connect(name_, &QLineEdit::editingFinished, this, [this] {
        if (tabs_->currentIndex() >= 2) LoadHands();
    });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(nameRow);
    layout->addWidget(tabs_, 1);
    resize(760, 560);
    tabs_->setCurrentIndex(std::clamp(settings_.tab, 0, 3));
    if (tabs_->currentIndex() >= 2) LoadHands();
}

StartWindow::~StartWindow() = default;

QWidget* StartWindow::BuildLocalTab() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(new QLabel(
        QStringLiteral("在本机和三位电脑玩家打一局。牌局记在本机，可在“我的牌局”里回放。"), page));
    auto* box = new QHBoxLayout;
    box->addWidget(new QLabel(QStringLiteral("电脑玩家水平："), page));
    levels_ = new QButtonGroup(page);
    for (const auto& choice : launch::kBotLevels) {
        auto* radio = new QRadioButton(Text(choice.caption), page);
        radio->setAccessibleName(QStringLiteral("电脑水平%1").arg(Text(choice.name)));
        radio->setToolTip(Text(choice.summary));
        levels_->addButton(radio, choice.level);
        radio->setChecked(choice.level == settings_.level);
        box->addWidget(radio);
    }
    box->addStretch();
    layout->addLayout(box);
    // What the chosen level does, under the choice.
    auto* summary = new QLabel(Text(launch::BotLevel(settings_.level).summary), page);
    summary->setObjectName(QStringLiteral("levelSummary"));
    summary->setWordWrap(true);
    connect(levels_, &QButtonGroup::idClicked, summary,
            [summary](int level) { summary->setText(Text(launch::BotLevel(level).summary)); });
    layout->addWidget(summary);
    layout->addStretch();
    startLocal_ = Button(QStringLiteral("开始游戏(&S)"), QStringLiteral("开始游戏"), page);
    startLocal_->setDefault(true);
    connect(startLocal_, &QPushButton::clicked, this, [this] {
        choice_ = Choice::LocalGame;
        accept();
    });
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(startLocal_);
    layout->addLayout(row);
    return page;
}

QWidget* StartWindow::BuildJoinTab() {
    auto* page = new QWidget;
    host_ = new QComboBox(page);
    host_->setEditable(true);
    host_->setAccessibleName(QStringLiteral("服务器地址"));
    host_->setInsertPolicy(QComboBox::NoInsert);
    // Completing inline would add a remembered port to a typed host unseen.
    host_->completer()->setCompletionMode(QCompleter::PopupCompletion);
    port_ = new QSpinBox(page);
    port_->setRange(1, 65535);
    port_->setValue(5870);
    port_->setAccessibleName(QStringLiteral("端口"));
    frontDoor_ = new QCheckBox(QStringLiteral("经由前门(&F)"), page);
    frontDoor_->setToolTip(QStringLiteral("这个地址是几台服务器共用的前门，由它指定加入哪一台"));
    frontDoor_->setAccessibleName(QStringLiteral("经由前门"));
    FillHostsFromRemembered();
    connect(host_, &QComboBox::activated, this, &StartWindow::PickRemembered);
    auto* form = new QFormLayout;
    auto* hostLabel = new QLabel(QStringLiteral("服务器(&H)："), page);
    hostLabel->setBuddy(host_);
    auto* portLabel = new QLabel(QStringLiteral("端口(&P)："), page);
    portLabel->setBuddy(port_);
    form->addRow(hostLabel, host_);
    form->addRow(portLabel, port_);
    form->addRow(QString(), frontDoor_);
    joinStatus_ = new QLabel(page);
    joinStatus_->setWordWrap(true);
    joinStatus_->setTextFormat(Qt::PlainText);
    joinStatus_->setAccessibleName(QStringLiteral("连接状态"));
    join_ = Button(QStringLiteral("加入(&J)"), QStringLiteral("加入游戏"), page);
    connect(join_, &QPushButton::clicked, this, &StartWindow::TryServer);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(new QLabel(
        QStringLiteral(
            "加入朋友的服务器（例如局域网上的 qira-server）。下拉列表是最近用过的服务器。"),
        page));
    layout->addLayout(form);
    layout->addWidget(joinStatus_);
    layout->addStretch();
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(join_);
    layout->addLayout(row);
    probeTimeout_ = new QTimer(this);
    probeTimeout_->setSingleShot(true);
    connect(probeTimeout_, &QTimer::timeout, this, [this] {
        JoinFailed(QStringLiteral("%1 秒内没有应答").arg(kProbeMilliseconds / 1000));
    });
    return page;
}

void StartWindow::FillHostsFromRemembered() {
    host_->clear();
    for (const auto& server : settings_.servers)
        host_->addItem(QString::fromStdString(
            launch::ServerAddress(server.host, std::to_string(server.port))));
    if (!settings_.servers.empty()) PickRemembered(0);
}

void StartWindow::PickRemembered(int index) {
    if (index < 0 || index >= static_cast<int>(settings_.servers.size())) return;
    const auto& server = settings_.servers[static_cast<std::size_t>(index)];
    host_->setEditText(QString::fromStdString(server.host));
    port_->setValue(server.port);
    frontDoor_->setChecked(server.frontDoor);
}

// Tries the server before the client starts, so that a wrong address is told
// here, where it can be mended.
void StartWindow::TryServer() {
    const auto typed =
        launch::ReadServer(host_->currentText().toStdString(), port_->text().toStdString());
    if (!typed.server) {
        joinStatus_->setStyleSheet(QStringLiteral("color: #b00020"));
        joinStatus_->setText(QString::fromStdString(typed.error));
        return;
    }
    server_ = *typed.server;
    server_.frontDoor = frontDoor_->isChecked();
    host_->setEditText(QString::fromStdString(server_.host));
    port_->setValue(server_.port);
    join_->setEnabled(false);
    joinStatus_->setStyleSheet({});
    joinStatus_->setText(QStringLiteral("正在连接 %1 …")
                             .arg(QString::fromStdString(launch::ServerAddress(
                                 server_.host, std::to_string(server_.port)))));
    delete probe_;
    probe_ = new QTcpSocket(this);
    connect(probe_, &QTcpSocket::connected, this, [this] {
        probeTimeout_->stop();
        probe_->abort();
        choice_ = Choice::JoinServer;
        launch::RememberServer(settings_, server_);
        accept();
    });
    connect(probe_, &QTcpSocket::errorOccurred, this,
            [this] { JoinFailed(probe_->errorString()); });
    probeTimeout_->start(kProbeMilliseconds);
    probe_->connectToHost(QString::fromStdString(server_.host), server_.port);
}

void StartWindow::JoinFailed(const QString& reason) {
    probeTimeout_->stop();
    if (probe_) probe_->abort();
    join_->setEnabled(true);
    joinStatus_->setStyleSheet(QStringLiteral("color: #b00020"));
    joinStatus_->setText(QStringLiteral("无法连接到服务器 %1（%2）")
                             .arg(QString::fromStdString(launch::ServerAddress(
                                      server_.host, std::to_string(server_.port))),
                                  reason));
}

QWidget* StartWindow::BuildHandsTab() {
    auto* page = new QWidget;
    hands_ = new QTableWidget(0, 5, page);
    hands_->setHorizontalHeaderLabels({QStringLiteral("时间"), QStringLiteral("桌号"),
                                       QStringLiteral("同桌"), QStringLiteral("结果"),
                                       QStringLiteral("得分")});
    hands_->setAccessibleName(QStringLiteral("我的牌局"));
    hands_->setSelectionBehavior(QAbstractItemView::SelectRows);
    hands_->setSelectionMode(QAbstractItemView::SingleSelection);
    hands_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    hands_->verticalHeader()->hide();
    hands_->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
    hands_->setTabKeyNavigation(false);
    connect(hands_, &QTableWidget::cellActivated, this, [this] { OpenSelectedHand(); });
    handsNote_ = new QLabel(page);
    handsNote_->setTextFormat(Qt::PlainText);
    handsNote_->setWordWrap(true);
    replay_ = Button(QStringLiteral("观看回放(&R)"), QStringLiteral("观看回放"), page);
    connect(replay_, &QPushButton::clicked, this, [this] { OpenSelectedHand(); });
    review_ = Button(QStringLiteral("复盘(&V)"), QStringLiteral("复盘"), page);
    review_->setToolTip(QStringLiteral("回放时每一步旁边给出高级电脑的打法和两种打法的期望得分"));
    connect(review_, &QPushButton::clicked, this, [this] { OpenSelectedHand(true); });
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(hands_, 1);
    auto* row = new QHBoxLayout;
    row->addWidget(handsNote_, 1);
    row->addWidget(replay_);
    row->addWidget(review_);
    layout->addLayout(row);
    return page;
}

QWidget* StartWindow::BuildRecordTab() {
    auto* page = new QWidget;
    recordLayout_ = new QVBoxLayout(page);
    recordLayout_->setContentsMargins(0, 0, 0, 0);
    return page;
}

void StartWindow::LoadHands() {
    const std::string name = launch::CleanPlayerName(name_->text().toStdString());
    myHands_.clear();
    QString note;
    if (!QFileInfo::exists(sources_.database)) {
        note = QStringLiteral("本机还没有牌局记录。");
    } else {
        const auto read = replay::ReadDatabaseHands(sources_.database.toStdString());
        std::string text;
        for (const auto& line : read.lines) text += line + "\n";
        myHands_ = replay::MyHands(replay::ParseHandLog(text).hands, name);
        note = read.error.empty()
                   ? QStringLiteral("%1 在本机打过 %2 局。").arg(name_->text()).arg(myHands_.size())
                   : QString::fromStdString(read.error);
    }
    handsNote_->setText(note);
    hands_->setRowCount(static_cast<int>(myHands_.size()));
    for (int row = 0; row < hands_->rowCount(); ++row) {
        const auto& hand = myHands_[static_cast<std::size_t>(row)];
        hands_->setItem(row, 0, Cell(HandTime(hand.time)));
        hands_->setItem(row, 1, Cell(QString::number(hand.table), Qt::AlignRight));
        hands_->setItem(row, 2, Cell(Players(hand)));
        hands_->setItem(row, 3, Cell(Text(replay::ResultText(hand.result))));
        hands_->setItem(
            row, 4,
            Cell(QString::asprintf("%+lld", static_cast<long long>(hand.points)), Qt::AlignRight));
    }
    hands_->resizeColumnsToContents();
    if (!myHands_.empty()) hands_->selectRow(0);
    replay_->setEnabled(!myHands_.empty());
    review_->setEnabled(!myHands_.empty());
    record_ = replay::RecordOf(myHands_);
    DrawRecord();
}

QStringList StartWindow::ReplayArguments(bool review) const {
    const int row = hands_->currentRow();
    if (row < 0 || row >= static_cast<int>(myHands_.size())) return {};
    const auto& hand = myHands_[static_cast<std::size_t>(row)];
    QStringList arguments{sources_.database, QStringLiteral("--hand"), QString::number(hand.id),
                          QStringLiteral("--player"),
                          QString::fromStdString(hand.players[hand.seat])};
    if (review) arguments << QStringLiteral("--review");
    return arguments;
}

void StartWindow::OpenSelectedHand(bool review) {
    const QStringList arguments = ReplayArguments(review);
    if (arguments.isEmpty()) return;
    if (!QProcess::startDetached(sources_.replayProgram, arguments))
        handsNote_->setText(QStringLiteral("无法启动 %1").arg(sources_.replayProgram));
}

void StartWindow::DrawRecord() {
    delete recordCharts_;
    recordCharts_ = new QWidget;
    auto* layout = new QVBoxLayout(recordCharts_);
    if (myHands_.empty()) {
        layout->addWidget(new QLabel(QStringLiteral("还没有牌局，打几局再来看战绩。")));
        recordLayout_->addWidget(recordCharts_);
        return;
    }
    layout->addWidget(ChartView(PointsChart(record_.pointsAfter), QStringLiteral("得分走势")), 3);
    const auto groups = Groups(record_);
    auto* bars = new QHBoxLayout;
    bars->addWidget(ChartView(
        BarChart(
            QStringLiteral("和牌与点炮"),
            {QStringLiteral("胜率"), QStringLiteral("自摸占比"), QStringLiteral("点炮率")}, groups,
            [](const replay::RecordFigures& f, int i) {
                return 100 * (i == 0 ? f.WinRate() : i == 1 ? f.SelfDrawnShare() : f.DealInRate());
            },
            QStringLiteral("%")),
        QStringLiteral("胜率、自摸占比、点炮率")));
    bars->addWidget(
        ChartView(BarChart(
                      QStringLiteral("平均得失分"),
                      {QStringLiteral("赢时平均得分"), QStringLiteral("输时平均失分")}, groups,
                      [](const replay::RecordFigures& f, int i) {
                          return i == 0 ? f.AverageWon() : f.AverageLost();
                      },
                      QStringLiteral("分")),
                  QStringLiteral("平均得失分")));
    layout->addLayout(bars, 4);
    recordLayout_->addWidget(recordCharts_);
}

void StartWindow::done(int result) {
    Remember();
    QDialog::done(result);
}

void StartWindow::Remember() {
    settings_.name = launch::CleanPlayerName(name_->text().toStdString());
    settings_.level = levels_->checkedId() > 0 ? levels_->checkedId() : settings_.level;
    settings_.tab = tabs_->currentIndex();
}

}  // namespace qira::app
