#pragma once

#include <QDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <memory>
#include <vector>

#include "play/chow_chooser.h"

namespace qira::play {

// The modal chow chooser: one option per possible chow with its three tiles
// drawn beside it. Game messages keep flowing while it is open.
class frmShunZi : public QDialog {
    Q_OBJECT
public:
    frmShunZi(std::vector<std::uint8_t> choices, QString sharedFolder, QWidget* owner = nullptr);

    // Shows the chooser modally and returns the lowest tile of the chosen chow.
    static std::uint8_t Choose(std::vector<std::uint8_t> choices, const QString& sharedFolder,
                               QWidget* owner);

    std::uint8_t bytChosenChow() const { return model_.Chosen(); }
    const ChowChooserModel& model() const { return model_; }
    // Advances the countdown by one second, as the window's timer does.
    void OnTimerTick();

protected:
    void paintEvent(QPaintEvent* event) override;
    // ←/→ (and ↑/↓) move the choice; Enter confirms through the default button.
    void keyPressEvent(QKeyEvent* event) override;

private:
    static constexpr int kOptionSpacing = 100;
    static constexpr int kTileAdvance = 44;

    ChowChooserModel model_;
    QString sharedFolder_;
    std::vector<std::unique_ptr<QRadioButton>> optShunZi_;
    QPushButton Command1_;
    QTimer Timer1_;
};

}  // namespace qira::play
