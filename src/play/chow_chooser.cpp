#include "play/chow_chooser.h"

namespace qira::play {

ChowChooserModel::ChowChooserModel(std::vector<std::uint8_t> choices)
    : choices_(std::move(choices)) {}

void ChowChooserModel::Select(std::size_t index) {
    if (index < choices_.size()) selected_ = index;
}

bool ChowChooserModel::Tick() {
    caption_ = "确定(&Y)  " + std::to_string(kSeconds - ticks_);
    ++ticks_;
    return ticks_ > kSeconds;
}

std::uint8_t ChowChooserModel::Chosen() const {
    return choices_.empty() ? 0 : choices_[selected_];
}

}  // namespace qira::play
