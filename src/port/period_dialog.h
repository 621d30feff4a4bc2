// The period dialogs as the user interface sees them: a description (title,
// radio choices, text boxes, extras, the choice selected at opening, the check
// run on "OK") and the answer the user leaves in it. The printer commands build
// the descriptions (printer/period_dialogs.h) and ask the user through
// UserInterface::askPeriod; the dialog's behaviour is PeriodDialogState
// (window/period_dialog_state.h).
//
// Texts are cp1252 bytes. Box texts are kept exactly as typed: no filter, no limit.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tavex {

// The text fields a period dialog can hold.
enum class PeriodField { DateStart, DateEnd, CrzStart, CrzEnd, CooStart, CooEnd, ReferenceDate };

// What the user left in the dialog when it closed with "OK".
struct PeriodAnswer {
  int choice = 0;  // `periodChoice`: the index of the selected radio choice
  std::string dateStart, dateEnd, crzStart, crzEnd, cooStart, cooEnd, referenceDate;
  bool simplified = false;  // the "Simplificada" box

  std::string& text(PeriodField field);
  const std::string& text(PeriodField field) const;
};

struct PeriodChoice {
  std::string label;     // "Data", "CRZ", "COO", "Total"
  bool visible = true;   // false: not drawn at all
  bool enabled = true;
};

struct PeriodBox {
  PeriodField field;
  std::string label;     // "Data inicial:", ...
  int owner = -1;        // the choice whose bound the box holds; -1: an extra box
  int selects = -1;      // the choice that typing into the box selects; -1: none
  bool enabled = true;
};

struct PeriodDialogDescription {
  std::string name;      // the dialog's class name, e.g. "CPrintMFDlg"
  std::string title;
  std::vector<PeriodChoice> choices;  // numbered in this order
  std::vector<PeriodBox> boxes;       // in the order they are drawn
  std::optional<std::string> checkBox;  // label of the "Simplificada" box, when the dialog has one
  std::string note;                   // a fixed text drawn under the boxes ("" for none)
  int initialChoice = 0;              // `periodChoice` at opening
  // The check run on "OK": the message of a failed check (shown with the title
  // "Erro!" and the error icon while the dialog stays open), nothing when it passes.
  std::function<std::optional<std::string>(const PeriodAnswer&)> check;
};

}  // namespace tavex
