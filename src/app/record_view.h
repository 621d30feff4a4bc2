// The "Registro" tab: one line of the file decoded field by field from the record
// layout, the lines around it, and the way to the previous and next finding.
#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cotepe/line_index.h"
#include "validation/finding.h"
#include "window/validated_file.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

namespace tavex::app {

class OriginBar;

// A field's value with its blanks made visible ("·"), as the inspector shows it.
QString visibleBlanks(const QString& value);

class RecordPanel : public QWidget {
  Q_OBJECT
 public:
  explicit RecordPanel(QWidget* parent = nullptr);

  // Shows line `line` of `path`, with `finding` (may be null) highlighted. A line
  // below 1 (a finding of the whole file) shows no record and says why. A line of
  // the validated file (setValidatedFile) is decoded only while the file on disk is
  // the one validated; otherwise the panel says the file changed.
  void showLine(const std::string& path, int line, const Finding* finding);
  // The file the findings shown here come from (kept alive by the caller; null: none).
  void setValidatedFile(ValidatedFile* file) { validated_ = file; }
  // Nothing shown: the hint that tells how to show a record.
  void clear();
  // The same for what is no finding (an indicator): field `field` (0: none)
  // highlighted, in amber when `warning`, and `message` under the heading.
  void showLine(const std::string& path, int line, int field, const QString& message, bool warning);
  // No record to show (a finding of the whole file, or none): `heading`, and the
  // finding's message when there is one.
  void showNoRecord(const QString& heading, const Finding* finding);
  void showNoRecord(const QString& heading, const QString& message);
  // Enables "anterior / próximo achado".
  void setNavigation(bool previous, bool next);
  // Beside a list: the field table without positions and widths, no lines around.
  void setCompact(bool compact);

  QLabel* heading() const { return heading_; }
  QTableWidget* fields() const { return fields_; }
  QPlainTextEdit* context() const { return context_; }
  int highlightedRow() const { return highlightedRow_; }
  // The file whose line is shown (empty before the first one), named by origin().
  const std::string& shownPath() const { return shownPath_; }
  OriginBar* origin() const { return origin_; }

 signals:
  void previousFinding();
  void nextFinding();

 private:
  // The line index of the file last shown, built with one read of it and built
  // again when the file changes (its size or time of change).
  const LineIndex* indexOf(const std::string& path);

  OriginBar* origin_;
  std::string shownPath_;
  struct IndexedFile {
    std::string path;
    std::uintmax_t size = 0;
    std::filesystem::file_time_type changed;
    LineIndex index;
  };
  std::optional<IndexedFile> indexed_;
  ValidatedFile* validated_ = nullptr;
  QLabel* heading_;
  QLabel* message_;
  QTableWidget* fields_;
  QPlainTextEdit* context_;
  QPushButton* previous_;
  QPushButton* next_;
  int highlightedRow_ = -1;
};

}  // namespace tavex::app
