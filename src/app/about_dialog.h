// The About box: the program's name, version and description in their fonts and
// colours, and "Fechar".
#pragma once

#include <QDialog>

namespace tavex::app {

class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  explicit AboutDialog(QWidget* parent = nullptr);
};

}  // namespace tavex::app
