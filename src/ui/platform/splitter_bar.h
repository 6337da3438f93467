#pragma once

#include <QWidget>

namespace qira::platform {

// A horizontal splitter bar (HSplitterBar): a thin strip that the user drags
// up or down. It only reports; the window decides where the bar may go and
// lays out the panes around it.
class HSplitterBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 5;
    explicit HSplitterBar(QWidget* parent = nullptr);

signals:
    void DragStarted();
    // The bar was released with its top at `top`, in the parent's coordinates.
    void Moved(int top);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int TopFor(const QMouseEvent& event) const;

    bool dragging_ = false;
    int grabOffset_ = 0;
};

// The vertical splitter (picSplitter) between the table and the right column:
// a 12-pixel bar with a collapse grip in the middle. A click in the grip
// toggles the right column; a drag elsewhere shows a ghost bar that follows
// the mouse, and the release reports where it ended.
class VSplitterBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 12;
    explicit VSplitterBar(std::string resourceRoot, QWidget* parent = nullptr);

    void SetCollapsed(bool collapsed);
    bool IsCollapsed() const { return collapsed_; }
    // While the discard animation runs, presses are ignored.
    void SetLocked(bool locked) { locked_ = locked; }
    bool IsDragging() const { return dragging_; }

signals:
    void GripClicked();
    // The ghost bar's left edge, in the parent's coordinates.
    void GhostMoved(int x);
    void Released(int x);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int GhostXFor(const QMouseEvent& event) const;

    std::string resourceRoot_;
    bool collapsed_ = false;
    bool locked_ = false;
    bool dragging_ = false;
    bool painting_ = false;
    int grabOffset_ = 0;
};

}  // namespace qira::platform
