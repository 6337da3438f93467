#pragma once

#include <QAccessibleWidget>
#include <QString>
#include <vector>

namespace qira::render {

class GameAreaWidget;

// The game area as assistive technology sees it: a pane "牌桌" whose parts
// are the local hand (a list of tiles by name), the newest discard, whose
// turn it is, the clock, the status line of the latest event, and the
// buttons painted on the table (press = the same session event as a click).
// Everything is read live from the table when asked.
class TableAccessible final : public QAccessibleWidget {
public:
    explicit TableAccessible(GameAreaWidget* area);
    ~TableAccessible() override;

    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override;

    // The part that holds the status line, for the events that announce it.
    QAccessibleInterface* StatusPart() const;
    // The hand tile (1-based), or nullptr.
    QAccessibleInterface* HandTile(int index) const;

    GameAreaWidget* area() const;

private:
    QAccessibleInterface* Part(int index) const;

    mutable std::vector<QAccessibleInterface*> parts_;  // registered with Qt, deleted here
};

// Lets Qt build `TableAccessible` for every game area; call once.
void InstallTableAccessibility();

}  // namespace qira::render
