#include "window/period_dialog_state.h"

#include <utility>

namespace tavex {

PeriodDialogState::PeriodDialogState(const PeriodDialogDescription& description) : description_(description) {
  answer_.choice = description_.initialChoice;
}

void PeriodDialogState::selectChoice(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= description_.choices.size()) return;
  const PeriodChoice& c = description_.choices[static_cast<std::size_t>(index)];
  if (c.visible && c.enabled) answer_.choice = index;
}

void PeriodDialogState::typeInto(PeriodField field, std::string text) {
  for (const PeriodBox& box : description_.boxes) {
    if (box.field != field || !box.enabled) continue;
    answer_.text(field) = std::move(text);
    if (box.selects >= 0) answer_.choice = box.selects;
    return;
  }
}

void PeriodDialogState::setSimplified(bool ticked) {
  if (description_.checkBox) answer_.simplified = ticked;
}

std::optional<std::string> PeriodDialogState::accept() const {
  return description_.check ? description_.check(answer_) : std::nullopt;
}

}  // namespace tavex
