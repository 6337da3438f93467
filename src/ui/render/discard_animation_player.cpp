#include "ui/render/discard_animation_player.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPainter>

#include "render/resources.h"
#include "ui/platform/resource_pixmap.h"

namespace qira::render {
namespace {

QRect ToQRect(const Rect& rect) {
    return {rect.x, rect.y, rect.width, rect.height};
}

}  // namespace

DiscardAnimationPlayer::DiscardAnimationPlayer(std::string appPath, std::string sharedPath,
                                               Hooks hooks)
    : appPath_(std::move(appPath)), sharedPath_(std::move(sharedPath)), hooks_(std::move(hooks)) {
    timer_.setInterval(kAnimationTickMs);
    connect(&timer_, &QTimer::timeout, this, &DiscardAnimationPlayer::DiscardAnimationTick);
}

std::optional<QImage> DiscardAnimationPlayer::Load(const std::string& root,
                                                   const std::string& relative) const {
    const auto path = FindResourceFile(root, relative);
    if (!path) return std::nullopt;
    QImage image = platform::ReadPicture(QString::fromStdString(*path));
    if (image.isNull()) return std::nullopt;
    return image.convertToFormat(QImage::Format_RGB32);
}

std::optional<QImage> DiscardAnimationPlayer::Compose(int position, int tile,
                                                      const AnimationLayout& layout) const {
    const auto tilePicture = Load(sharedPath_, AnimationTilePicture(position, tile));
    const auto frame = Load(appPath_, AnimationFramePicture(position));
    if (!tilePicture || !frame) return std::nullopt;
    QImage picture(layout.fullWidth, layout.fullHeight, QImage::Format_RGB32);
    picture.fill(Qt::black);
    QPainter painter(&picture);
    painter.drawImage(0, 0, *frame);
    if (layout.labelCellX) {
        if (const auto labels = Load(appPath_, kAnimationLabelPicture)) {
            painter.drawImage(QPoint(layout.labelAt.x, layout.labelAt.y), *labels,
                              QRect(*layout.labelCellX, 0, kLabelCellSize, kLabelCellSize));
        }
    }
    painter.drawImage(layout.tileAt.x, layout.tileAt.y, *tilePicture);
    return picture;
}

void DiscardAnimationPlayer::PlayDiscardAnimation(QImage& canvas, int position, int kind, int tile,
                                                  Point start) {
    if (kind < 0 || kind >= 4 || position < 0 || position > 3 || playing()) return;
    const auto animationKind = static_cast<play::ActionCode>(kind);
    const AnimationLayout layout = ComposeAnimation(position, animationKind, start);
    auto picture = Compose(position, tile, layout);
    if (!picture) return;
    if (hooks_.closeChowChooser) hooks_.closeChowChooser();

    canvas_ = &canvas;
    picture_ = std::move(*picture);
    mask_ = Load(appPath_, AnimationMaskPicture(position));
    fullRect_ = ToQRect(layout.fullRect);
    const qreal ratio = canvas.devicePixelRatio();
    background_ =
        canvas.copy(qRound(fullRect_.x() * ratio), qRound(fullRect_.y() * ratio),
                    qRound(fullRect_.width() * ratio), qRound(fullRect_.height() * ratio));
    background_.setDevicePixelRatio(ratio);
    growth_.emplace(position, layout, start);
    timer_.start();

    while (timer_.isActive()) {
        if (hooks_.quitting && hooks_.quitting()) {
            timer_.stop();
            break;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    growth_.reset();
    canvas_ = nullptr;
    picture_ = QImage();
    background_ = QImage();
}

void DiscardAnimationPlayer::DiscardAnimationTick() {
    if (!growth_ || !canvas_) {
        timer_.stop();
        return;
    }
    const auto step = growth_->Tick();
    {
        QPainter painter(canvas_);
        painter.drawImage(fullRect_.topLeft(), background_);
        if (step.draw) {
            const QRect target = ToQRect(*step.draw);
            if (mask_) {
                painter.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
                painter.drawImage(target, *mask_);
            }
            painter.setCompositionMode(QPainter::RasterOp_SourceOrDestination);
            painter.drawImage(target, picture_);
        }
    }
    if (hooks_.repaint) hooks_.repaint(fullRect_);
    if (!growth_->running()) timer_.stop();
}

}  // namespace qira::render
