#include "ui/play/frm_shun_zi.h"

#include <QFileInfo>
#include <QKeyEvent>
#include <QPainter>

#include "launch/globals.h"
#include "play/table_words.h"
#include "ui/platform/resource_pixmap.h"

namespace qira::play {
namespace {

constexpr int kOptionLeft = 16;
constexpr int kFirstOptionTop = 40;
constexpr int kTilesLeft = 100;

QString HandTilePath(const QString& sharedFolder, int tile) {
    const std::string relative = "ResMj\\DownShou\\plpDownShou" + std::to_string(tile) + ".bmp";
    return QString::fromStdString(launch::NativeResourcePath(sharedFolder.toStdString(), relative));
}

}  // namespace

frmShunZi::frmShunZi(std::vector<std::uint8_t> choices, QString sharedFolder, QWidget* owner)
    : QDialog(owner),
      model_(std::move(choices)),
      sharedFolder_(std::move(sharedFolder)),
      Command1_(QString::fromUtf8("确定(&Y)"), this) {
    setWindowTitle(QString::fromUtf8("选择顺子的类型"));
    setModal(true);
    for (std::size_t i = 0; i < model_.choices().size(); ++i) {
        auto option = std::make_unique<QRadioButton>(this);
        // The keys go to the window, which moves the choice either way.
        option->setFocusPolicy(Qt::NoFocus);
        option->setAccessibleName(QString::fromStdString(ChowName(model_.choices()[i])));
        option->move(kOptionLeft, kFirstOptionTop + static_cast<int>(i) * kOptionSpacing);
        connect(option.get(), &QRadioButton::toggled, this, [this, i](bool checked) {
            if (checked) model_.Select(i);
        });
        optShunZi_.push_back(std::move(option));
    }
    if (!optShunZi_.empty()) optShunZi_.front()->setChecked(true);
    const int rows = std::max<int>(1, static_cast<int>(optShunZi_.size()));
    const int buttonTop = kFirstOptionTop + (rows - 1) * kOptionSpacing + 60;
    Command1_.setGeometry(90, buttonTop, 110, 30);
    connect(&Command1_, &QPushButton::clicked, this, &QDialog::accept);
    Command1_.setDefault(true);
    Command1_.setFocus();
    setAccessibleName(windowTitle());
    setFixedSize(kTilesLeft + 3 * kTileAdvance + 40, buttonTop + 46);
    Timer1_.setInterval(1000);
    connect(&Timer1_, &QTimer::timeout, this, &frmShunZi::OnTimerTick);
    Timer1_.start();
}

void frmShunZi::OnTimerTick() {
    const bool closeNow = model_.Tick();
    Command1_.setText(QString::fromStdString(model_.ConfirmCaption()));
    if (closeNow) {
        Timer1_.stop();
        accept();
    }
}

void frmShunZi::keyPressEvent(QKeyEvent* event) {
    const int count = static_cast<int>(optShunZi_.size());
    int step = 0;
    if (event->key() == Qt::Key_Left || event->key() == Qt::Key_Up) step = -1;
    if (event->key() == Qt::Key_Right || event->key() == Qt::Key_Down) step = +1;
    if (step == 0 || count == 0) return QDialog::keyPressEvent(event);
    int current = 0;
    for (int i = 0; i < count; ++i)
        if (optShunZi_[static_cast<std::size_t>(i)]->isChecked()) current = i;
    const int next = (current + step + count) % count;
    optShunZi_[static_cast<std::size_t>(next)]->setChecked(true);
    event->accept();
}

void frmShunZi::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    for (std::size_t i = 0; i < optShunZi_.size(); ++i) {
        int x = kTilesLeft;
        const int y = optShunZi_[i]->y() - 30;
        for (int j = 0; j < 3; ++j) {
            const QString path = HandTilePath(sharedFolder_, model_.choices()[i] + j);
            if (QFileInfo::exists(path)) painter.drawImage(x, y, platform::ReadPicture(path));
            x += kTileAdvance;
        }
    }
}

std::uint8_t frmShunZi::Choose(std::vector<std::uint8_t> choices, const QString& sharedFolder,
                               QWidget* owner) {
    frmShunZi chooser(std::move(choices), sharedFolder, owner);
    chooser.exec();
    return chooser.bytChosenChow();
}

}  // namespace qira::play
