#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qira::play {

// The choice between several chows of one discard: the first choice is
// preselected, and after fifteen one-second ticks the selected one is taken.
class ChowChooserModel {
public:
    static constexpr int kSeconds = 15;

    explicit ChowChooserModel(std::vector<std::uint8_t> choices);

    const std::vector<std::uint8_t>& choices() const { return choices_; }
    std::size_t selected() const { return selected_; }
    void Select(std::size_t index);

    // One second passed: updates the caption; true when the chooser must close itself.
    bool Tick();
    const std::string& ConfirmCaption() const { return caption_; }

    // The lowest tile of the chosen chow.
    std::uint8_t Chosen() const;

private:
    std::vector<std::uint8_t> choices_;
    std::size_t selected_ = 0;
    int ticks_ = 0;
    std::string caption_ = "确定(&Y)";
};

}  // namespace qira::play
