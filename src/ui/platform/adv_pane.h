#pragma once

#include <QTextBrowser>
#include <QWidget>

namespace qira::platform {

// The advertisement pane (picAdvBack) with its page view (TivAdvWeb). The
// page is a local HTML file shipped with the program; nothing is fetched from
// the network, and links in it are not followed.
class AdvPane : public QWidget {
    Q_OBJECT
public:
    explicit AdvPane(QWidget* parent = nullptr);

    // Shows the file at `path`; a missing file leaves the pane empty.
    void ShowPage(const QString& path);
    QTextBrowser& page() { return page_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QTextBrowser page_;
};

}  // namespace qira::platform
