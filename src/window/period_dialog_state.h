// An open period dialog's behaviour without any drawing: which choice is selected,
// what the boxes hold, the check on "OK". The window draws a description
// (port/period_dialog.h) and forwards its controls' events here; the scripted test
// interface plays them.
//
// Texts are cp1252 bytes, kept exactly as typed.
#pragma once

#include <optional>
#include <string>

#include "port/period_dialog.h"

namespace tavex {

// An open period dialog. Events come from the user; accept() is "OK".
class PeriodDialogState {
 public:
  explicit PeriodDialogState(const PeriodDialogDescription& description);

  const PeriodDialogDescription& description() const { return description_; }
  int choice() const { return answer_.choice; }
  const PeriodAnswer& answer() const { return answer_; }

  // A click on choice `index`; ignored for a hidden or disabled choice or an index out of range.
  void selectChoice(int index);
  // New text in the box of `field` (each change of its text): stores it and selects
  // the choice the box belongs to, when the dialog does that. Ignored when the
  // dialog has no enabled box for `field`.
  void typeInto(PeriodField field, std::string text);
  // The "Simplificada" box; ignored when the dialog has none.
  void setSimplified(bool ticked);

  // "OK": the failed check's message, or nothing when the dialog may close as accepted.
  std::optional<std::string> accept() const;

 private:
  PeriodDialogDescription description_;
  PeriodAnswer answer_;
};

}  // namespace tavex
