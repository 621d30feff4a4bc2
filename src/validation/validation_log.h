// The validation log: a cp1252 text file with CR LF line ends beside the COTEPE
// file (its path followed by ".log"). Every line is flushed as it is written, so
// the log is complete on disk whatever happens to the program afterwards.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace tavex {

class UserInterface;

class ValidationLog {
 public:
  explicit ValidationLog(UserInterface& ui) : ui_(ui) {}
  ~ValidationLog() { close(); }
  ValidationLog(const ValidationLog&) = delete;
  ValidationLog& operator=(const ValidationLog&) = delete;

  // Creates (or truncates) the log. False when it cannot be created; no message.
  bool create(const std::string& path);
  void close();

  // Adds 1 to the error count, then writes "[ERR] " and `text`.
  void reportError(std::string_view text);
  // Adds 1 to the warning count, then writes "[AVISO] " and `text`.
  void reportWarning(std::string_view text);
  // Writes `text` unchanged (header and summary lines).
  void appendLog(std::string_view text);

  int errorCount() const { return errorCount_; }
  int warningCount() const { return warningCount_; }
  void resetCounts() { errorCount_ = warningCount_ = 0; }

 private:
  // Writes `prefix` + `text` with every LF as CR LF and flushes. A failed write
  // loses the text and tells the user once per run ("Problemas ao adicionar dados
  // no arquivo de log."); the run goes on.
  void write(std::string_view prefix, std::string_view text);

  UserInterface& ui_;
  std::FILE* file_ = nullptr;
  std::string pending_;
  int errorCount_ = 0;
  int warningCount_ = 0;
  bool writeFailureShown_ = false;
};

}  // namespace tavex
