#include "app/paf_dialog.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <utility>

#include "app/qt_text.h"
#include "signature/paf_signature.h"

namespace tavex::app {

PAF_Dlg::PAF_Dlg(UserInterface& ui, std::filesystem::path keyFolder, QWidget* parent)
    : QDialog(parent), ui_(ui), keyFolder_(std::move(keyFolder)) {
  setObjectName("PAF_Dlg");
  setWindowTitle("PAF-ECF");
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel("Software House:", this));
  houses_ = new QComboBox(this);
  houses_->setObjectName("softwareHouse");
  houses_->setEditable(true);
  houses_->setInsertPolicy(QComboBox::InsertAlphabetically);
  for (const std::string& name : listSoftwareHouses(ui_, keyFolder_)) houses_->addItem(fromCp1252(name));
  houses_->model()->sort(0);
  houses_->setCurrentIndex(-1);
  layout->addWidget(houses_);
  auto* buttons = new QHBoxLayout;
  auto* validate = new QPushButton(fromCp1252("Selecionar Arquivo para Validação"_cp), this);
  validate->setObjectName("selecionarArquivo");
  validate->setDefault(true);
  auto* quit = new QPushButton("Sair", this);
  quit->setObjectName("sair");
  buttons->addWidget(validate);
  buttons->addWidget(quit);
  layout->addLayout(buttons);
  connect(validate, &QPushButton::clicked, this, &PAF_Dlg::validateSelected);
  connect(quit, &QPushButton::clicked, this, &QDialog::reject);
}

void PAF_Dlg::validateSelected() { validatePafSignature(ui_, toCp1252(houses_->currentText()), keyFolder_); }

}  // namespace tavex::app
