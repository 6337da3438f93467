#pragma once

#include <QImage>
#include <QObject>
#include <QRect>
#include <QTimer>
#include <functional>
#include <optional>
#include <string>

#include "render/discard_animation.h"

namespace qira::render {

// Plays the discard zoom on the table picture and returns when it has ended,
// keeping window events flowing meanwhile so the program stays responsive.
class DiscardAnimationPlayer : public QObject {
    Q_OBJECT
public:
    struct Hooks {
        std::function<void(const QRect&)> repaint;  // show a changed area of the canvas
        std::function<bool()> quitting;             // the program is ending
        std::function<void()> closeChowChooser;     // an open chooser gives way
    };

    DiscardAnimationPlayer(std::string appPath, std::string sharedPath, Hooks hooks);

    // `canvas` is the table picture; `start` the acting position's start point.
    // A second call while one animation runs returns at once: the animation
    // state is single, and sharing it would corrupt the picture under it.
    void PlayDiscardAnimation(QImage& canvas, int position, int kind, int tile, Point start);

    bool playing() const { return timer_.isActive(); }
    // Advances the running animation by one tick, as the 5 ms timer does.
    void DiscardAnimationTick();

private:
    std::optional<QImage> Load(const std::string& root, const std::string& relative) const;
    std::optional<QImage> Compose(int position, int tile, const AnimationLayout& layout) const;

    std::string appPath_;
    std::string sharedPath_;
    Hooks hooks_;
    QTimer timer_;
    QImage* canvas_ = nullptr;
    QImage picture_;
    QImage background_;
    std::optional<QImage> mask_;
    std::optional<AnimationGrowth> growth_;
    QRect fullRect_;
};

}  // namespace qira::render
