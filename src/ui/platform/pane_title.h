#pragma once

#include <QColor>
#include <QLabel>

namespace qira::platform {

// The coloured title strip over the user list and the chat.
class PaneTitle : public QLabel {
public:
    explicit PaneTitle(QWidget* parent = nullptr);
    void SetColours(const QColor& background, const QColor& text, int padding);
};

}  // namespace qira::platform
