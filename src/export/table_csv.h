// Tables the program writes as CSV besides the record export: the batch summary,
// the reconciliation, the indicators. Every one reads the same in a spreadsheet:
// cp1252, ';' between fields, CR LF after every row, and a field holding ';', '"',
// CR or LF written between quotes with its quotes doubled (any other byte, a NUL
// among them, stands for itself).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tavex {

// The rows of one such table, gathered in memory; the caller writes text().
class CsvTable {
 public:
  // Appends a row of cp1252 cells.
  void row(const std::vector<std::string>& cp1252Cells);
  // Appends a row of UTF-8 cells; characters cp1252 lacks become '?'.
  void rowUtf8(const std::vector<std::string>& utf8Cells);
  const std::string& text() const { return text_; }

 private:
  void field(std::string_view cp1252);
  std::string text_;
};

}  // namespace tavex
