// The line on top of a result tab that names the file its results come from,
// and says plainly when that is not the file open now.
#pragma once

#include <QLabel>
#include <string>

namespace tavex::app {

class OriginBar : public QLabel {
  Q_OBJECT
 public:
  explicit OriginBar(QWidget* parent = nullptr);

  // `resultsOf`: the file the tab's results come from (empty: the tab has none, the
  // bar hides); `openFile`: the file open in the window now (may be empty); `note`:
  // what else the results depend on ("Tolerância: R$ 0,05"), shown after the file.
  void setFiles(const std::string& resultsOf, const std::string& openFile, const QString& note = {});
  // The results come from a file other than the one open now.
  bool isForeign() const { return foreign_; }

 private:
  bool foreign_ = false;
};

}  // namespace tavex::app
