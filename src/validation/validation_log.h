// The validation log: a cp1252 text file with CR LF line ends beside the COTEPE
// file (its path followed by ".log"). Every line is written to the disk as it
// comes, into a temporary file beside the log, which takes the log's name when
// the run closes it: a run that could not write every line (a full disk) leaves
// the previous log whole, or no log when there was none.
//
// The log's name is locked (flock, exclusive) from its creation to its close: a
// second run on the same file finds it in use and leaves it alone. A log whose
// last component is a symbolic link, that is no regular file or is read-only, is
// refused. It is written as WholeFileWriter writes (owner, group and mode kept).
#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "cotepe/file_access.h"
#include "cotepe/notifier.h"
#include "validation/finding.h"

namespace tavex {


class ValidationLog : public FindingSink {
 public:
  enum class Creation { Created, Failed, Symlink, NotRegular, Busy };

  explicit ValidationLog(Notifier& notifier) : notifier_(notifier) {}
  ~ValidationLog() { close(); }
  ValidationLog(const ValidationLog&) = delete;
  ValidationLog& operator=(const ValidationLog&) = delete;

  // Locks the log's name (creating an empty file when there is none) and starts
  // its new text. Anything but Created leaves an existing file as it was; no
  // message.
  Creation create(const std::string& path);
  // A log with no file: findings are counted and echoed nowhere, for a run whose
  // findings reach only its sinks (the reconciliation of two files).
  void keepNoFile() { noFile_ = true; }
  // Closes the log: its new text replaces the previous one unless a write failed
  // (then the previous log stays, and a log this run created is removed); a
  // failure to finish counts as a failed write. Unlocks it.
  void close();

  // Adds 1 to the error count, then writes "[ERR] " and `text`.
  void reportError(std::string_view text);
  // Adds 1 to the warning count, then writes "[AVISO] " and `text`.
  void reportWarning(std::string_view text);
  // The log as a sink: the finding's line ("[ERR] " or "[AVISO] ", its message and
  // a line end), counted by its severity.
  void onFinding(const Finding& finding) override;
  // Writes `text` unchanged (header and summary lines).
  void appendLog(std::string_view text);

  // Receives every piece of text once it is in the file (CR LF line ends), and
  // nothing that could not be written.
  void setEcho(std::function<void(std::string_view)> echo) { echo_ = std::move(echo); }

  // Why create() answered Failed, as the line added under its message (cp1252,
  // "Motivo: ..."), or empty when unknown.
  const std::string& creationCause() const { return creationCause_; }

  // Some text could not be written: the log on disk is incomplete.
  bool writeFailed() const { return writeFailed_; }

  int errorCount() const { return errorCount_; }
  int warningCount() const { return warningCount_; }
  void resetCounts() { errorCount_ = warningCount_ = 0; }

 private:
  // Writes `prefix` + `text` with every LF as CR LF. A failed write loses the text
  // and tells the user once per run ("Problemas ao adicionar dados no arquivo de
  // log." and the cause on the next line); the run goes on.
  void write(std::string_view prefix, std::string_view text);
  void reportWriteFailure(int error);
  // A run that leaves no log removes the empty file that held the name for it.
  void dropEmptyName();

  Notifier& notifier_;
  std::string path_;
  std::string creationCause_;
  int lockFd_ = -1;          // the log's own name, held locked
  bool createdEmpty_ = false;  // the log was made (empty) by this run
  std::unique_ptr<WholeFileWriter> file_;
  std::string pending_;
  std::function<void(std::string_view)> echo_;
  int errorCount_ = 0;
  int warningCount_ = 0;
  bool writeFailed_ = false;
  bool noFile_ = false;
};

}  // namespace tavex
