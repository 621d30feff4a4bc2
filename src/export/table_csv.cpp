#include "export/table_csv.h"

#include "cotepe/text.h"

namespace tavex {

void CsvTable::field(std::string_view cp1252) {
  if (cp1252.find_first_of(";\"\r\n") == std::string_view::npos) {
    text_ += cp1252;
    return;
  }
  text_ += '"';
  for (const char c : cp1252) {
    if (c == '"') text_ += '"';
    text_ += c;
  }
  text_ += '"';
}

void CsvTable::row(const std::vector<std::string>& cp1252Cells) {
  for (std::size_t c = 0; c < cp1252Cells.size(); ++c) {
    if (c > 0) text_ += ';';
    field(cp1252Cells[c]);
  }
  text_ += "\r\n";
}

void CsvTable::rowUtf8(const std::vector<std::string>& utf8Cells) {
  std::vector<std::string> cells;
  cells.reserve(utf8Cells.size());
  for (const std::string& cell : utf8Cells) cells.push_back(utf8ToCp1252(cell));
  row(cells);
}

}  // namespace tavex
