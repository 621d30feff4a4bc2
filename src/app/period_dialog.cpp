#include "app/period_dialog.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFont>
#include <QFontMetrics>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/qt_text.h"
#include "port/user_interface.h"

namespace tavex::app {

int PeriodDialog::titleWidth(const QString& title) {
  // The window manager draws the title in its own font, usually no larger than
  // the bold application font; the margin leaves room for the icon and buttons.
  QFont font = QApplication::font();
  font.setBold(true);
  return QFontMetrics(font).horizontalAdvance(title) + 160;
}

PeriodDialog::PeriodDialog(UserInterface& ui, const PeriodDialogDescription& description, QWidget* parent)
    : QDialog(parent), ui_(ui), state_(description) {
  setObjectName(QString::fromStdString(description.name));
  setWindowTitle(fromCp1252(description.title));
  auto* layout = new QVBoxLayout(this);
  choices_ = new QButtonGroup(this);
  for (std::size_t i = 0; i < description.choices.size(); ++i) {
    const PeriodChoice& choice = description.choices[i];
    auto* radio = new QRadioButton(fromCp1252(choice.label), this);
    radio->setObjectName(QString("escolha%1").arg(i));
    radio->setEnabled(choice.enabled);
    radio->setVisible(choice.visible);
    choices_->addButton(radio, static_cast<int>(i));
    layout->addWidget(radio);
    auto* form = new QFormLayout;
    for (const PeriodBox& box : description.boxes) {
      if (box.owner != static_cast<int>(i)) continue;
      auto* edit = new QLineEdit(this);
      edit->setEnabled(box.enabled);
      boxes_[box.field] = edit;
      form->addRow(fromCp1252(box.label), edit);
    }
    layout->addLayout(form);
  }
  auto* extras = new QFormLayout;
  for (const PeriodBox& box : description.boxes) {
    if (box.owner != -1) continue;
    auto* edit = new QLineEdit(this);
    edit->setEnabled(box.enabled);
    boxes_[box.field] = edit;
    extras->addRow(fromCp1252(box.label), edit);
  }
  layout->addLayout(extras);
  for (auto& [field, edit] : boxes_) {
    edit->setObjectName(QString("caixa%1").arg(static_cast<int>(field)));
    const PeriodField f = field;
    connect(edit, &QLineEdit::textEdited, this, [this, f](const QString& text) {
      state_.typeInto(f, toCp1252(text));
      showChoice();
    });
  }
  if (description.checkBox) {
    auto* simplified = new QCheckBox(fromCp1252(*description.checkBox), this);
    simplified->setObjectName("simplificada");
    connect(simplified, &QCheckBox::toggled, this, [this](bool ticked) { state_.setSimplified(ticked); });
    layout->addWidget(simplified);
  }
  if (!description.note.empty()) {
    auto* note = new QLabel(fromCp1252(description.note), this);
    note->setWordWrap(true);
    layout->addWidget(note);
  }
  auto* buttons = new QDialogButtonBox(this);
  auto* ok = buttons->addButton("OK", QDialogButtonBox::AcceptRole);
  ok->setObjectName("ok");
  ok->setDefault(true);
  buttons->addButton("Cancelar", QDialogButtonBox::RejectRole)->setObjectName("cancelar");
  connect(buttons, &QDialogButtonBox::accepted, this, &PeriodDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  // Wide enough for the whole title beside the title bar's buttons.
  setMinimumWidth(std::max(minimumSizeHint().width(), titleWidth(windowTitle())));
  connect(choices_, &QButtonGroup::idClicked, this, [this](int index) {
    state_.selectChoice(index);
    showChoice();
  });
  showChoice();
}

QLineEdit* PeriodDialog::box(PeriodField field) const {
  const auto it = boxes_.find(field);
  return it == boxes_.end() ? nullptr : it->second;
}

void PeriodDialog::showChoice() {
  if (QAbstractButton* selected = choices_->button(state_.choice())) selected->setChecked(true);
}

void PeriodDialog::accept() {
  if (const auto failure = state_.accept()) {
    ui_.showMessage(*failure, "Erro!", Icon::Error);
    return;  // the dialog stays open
  }
  QDialog::accept();
}

}  // namespace tavex::app
