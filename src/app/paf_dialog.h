// PAF_Dlg: checks the signature of a PAF-ECF file against the public key of a
// software house chosen from the key folder (the start directory's "SHouse"), or typed.
#pragma once

#include <QDialog>
#include <filesystem>

class QComboBox;

namespace tavex {
class UserInterface;
}

namespace tavex::app {

class PAF_Dlg : public QDialog {
  Q_OBJECT

 public:
  PAF_Dlg(UserInterface& ui, std::filesystem::path keyFolder, QWidget* parent = nullptr);
  QComboBox* houses() const { return houses_; }

 public slots:
  void validateSelected();

 private:
  UserInterface& ui_;
  std::filesystem::path keyFolder_;
  QComboBox* houses_;
};

}  // namespace tavex::app
