// What a batch validation shows: a progress bar over the files (on a terminal),
// the summary table at the end and the same table as CSV (--resumo).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "cli/file_validation.h"

namespace tavex::cli {

// One line redrawn in place: "[#####.....]  12/40  last file".
class ProgressBar {
 public:
  ProgressBar(std::FILE* out, std::size_t total) : out_(out), total_(total) {}
  void show(std::size_t done, const std::string& lastFile);
  void finish();  // clears the line

 private:
  std::FILE* out_;
  std::size_t total_;
};

// The table (UTF-8, aligned columns): file, kind, ECF serial, period, errors,
// warnings, EAD, time, state; then why each file not validated was not, and a
// line of totals.
std::string summaryTable(const std::vector<FileOutcome>& outcomes);

// Writes the table as CSV (CsvTable: cp1252, ';', CR LF; one header line, names
// as csvNameCell gives them) to `path`, whole or not at all, opened as every
// output is (no symbolic link, regular files only).
// Empty on success, else why not (UTF-8). A file written that split a hard link
// puts the notice (UTF-8) in `notice`, when given.
std::string writeSummaryCsv(const std::string& path, const std::vector<FileOutcome>& outcomes,
                            std::string* notice = nullptr);

// Characters of a UTF-8 text (what a terminal column counts).
std::size_t displayWidth(std::string_view utf8);

// "validado", "não validado", "interrompido".
std::string stateText(FileState state);

}  // namespace tavex::cli
