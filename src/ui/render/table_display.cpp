#include "ui/render/table_display.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <random>

#include "render/resources.h"
#include "ui/platform/resource_pixmap.h"

namespace qira::render {

TableDisplay::TableDisplay(TableCanvas& canvas, std::string appPath, std::string parentPath,
                           Hooks hooks)
    : canvas_(canvas),
      appPath_(std::move(appPath)),
      parentPath_(std::move(parentPath)),
      hooks_(std::move(hooks)) {}

TableDisplay::~TableDisplay() = default;

namespace {
// How often a wait looks whether the program is quitting.
constexpr int kQuitCheckMs = 50;
}  // namespace

void TableDisplay::Wait(int milliseconds) {
    if (hooks_.wait) {
        hooks_.wait(milliseconds);
        return;
    }
    // A nested loop that sleeps until something happens: messages and paints
    // go on meanwhile, and the program ends at once if it is quitting.
    QEventLoop loop;
    QTimer done;
    done.setSingleShot(true);
    QObject::connect(&done, &QTimer::timeout, &loop, &QEventLoop::quit);
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &loop, [this, &loop] {
        if (hooks_.quitting && hooks_.quitting()) loop.quit();
    });
    done.start(std::max(0, milliseconds));
    watch.start(kQuitCheckMs);
    loop.exec();
    if (hooks_.quitting && hooks_.quitting())
        std::exit(hooks_.exitStatus ? hooks_.exitStatus() : 0);
}

bool TableDisplay::ShowDieFace(const std::string& path) {
    const auto file = FindResourceFile(parentPath_, path);
    if (!file) return false;
    const QImage face = platform::ReadPicture(QString::fromStdString(*file));
    if (face.isNull()) return false;
    canvas_.ShowDie(face);
    return true;
}

bool TableDisplay::Instant() const {
    return hooks_.instant && hooks_.instant();
}

void TableDisplay::RollDice(std::uint8_t value) {
    if (value < 1 || value > 6 || Instant()) return;
    auto random = hooks_.random;
    if (!random) {
        random = [](int low, int high) {
            static std::mt19937 engine{std::random_device{}()};
            return std::uniform_int_distribution<int>(low, high)(engine);
        };
    }
    int face = random(1, 6);
    int tumble = random(1, 4);
    for (int round = 0; round < 5; ++round) {
        if (ShowDieFace("ResMj\\Other\\sz" + std::to_string(face) + ".ico")) Wait(50);
        face = face % 6 + 1;
        if (ShowDieFace("ResMj\\Other\\dsz" + std::to_string(tumble) + ".ico")) Wait(80);
        tumble = tumble % 4 + 1;
    }
    if (ShowDieFace("ResMj\\Other\\sz" + std::to_string(value) + ".ico")) Wait(2000);
    canvas_.HideDie();
}

void TableDisplay::PlayDiscardAnimation(std::uint8_t position, play::ActionCode code,
                                        play::Tile tile) {
    if (position > 3 || Instant()) return;
    if (!player_) {
        DiscardAnimationPlayer::Hooks hooks;
        hooks.repaint = [this](const QRect&) { canvas_.NotifyChanged(); };
        hooks.quitting = hooks_.quitting;
        hooks.closeChowChooser = hooks_.closeChowChooser;
        player_ = std::make_unique<DiscardAnimationPlayer>(appPath_, parentPath_, hooks);
    }
    const std::uint64_t paintsBefore = canvas_.PaintCount();
    player_->PlayDiscardAnimation(canvas_.picture(), position, static_cast<int>(code), tile,
                                  canvas_.layout().ptAviStart[position]);
    // Messages handled while the tile grew may have painted under it, and the
    // animation's last step put back the table as it was when it began.
    if (canvas_.PaintCount() != paintsBefore) canvas_.PaintTable();
}

}  // namespace qira::render
