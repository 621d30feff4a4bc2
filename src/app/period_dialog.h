// The period dialogs drawn from their descriptions: one radio group of choices,
// the text boxes with their labels, the "Simplificada" box and the note, "OK" and
// "Cancelar"; at least as wide as its title needs. Every event goes to a
// PeriodDialogState, which holds the rules (typing into a box selects its choice;
// "OK" runs the check and keeps the dialog open on failure).
#pragma once

#include <QDialog>
#include <map>

#include "window/period_dialog_state.h"

class QButtonGroup;
class QLineEdit;

namespace tavex {
class UserInterface;
}

namespace tavex::app {

class PeriodDialog : public QDialog {
  Q_OBJECT

 public:
  PeriodDialog(UserInterface& ui, const PeriodDialogDescription& description, QWidget* parent = nullptr);

  const PeriodDialogState& state() const { return state_; }
  QLineEdit* box(PeriodField field) const;
  QButtonGroup* choices() const { return choices_; }

  // The least width that shows `title` whole in a window's title bar.
  static int titleWidth(const QString& title);

 public slots:
  void accept() override;

 private:
  void showChoice();

  UserInterface& ui_;
  PeriodDialogState state_;
  QButtonGroup* choices_;
  std::map<PeriodField, QLineEdit*> boxes_;
};

}  // namespace tavex::app
