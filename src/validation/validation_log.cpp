#include "validation/validation_log.h"

#include <unistd.h>

#include "cotepe/file_access.h"
#include "cotepe/text.h"

namespace tavex {

ValidationLog::Creation ValidationLog::create(const std::string& path) {
  close();
  writeFailed_ = false;
  // Opened without truncation: the file is emptied only once it is ours, so a
  // run still writing it keeps its lines.
  const OutputFile out = openOutputFile(path, OutputMode::Reuse);
  switch (out.error) {
    case OutputError::None: break;
    case OutputError::Symlink: return Creation::Symlink;
    case OutputError::NotRegular: return Creation::NotRegular;
    default: return Creation::Failed;
  }
  if (FileLock::lockDescriptor(out.fd) == FileLock::Result::Busy) {
    ::close(out.fd);
    return Creation::Busy;
  }
  if (::ftruncate(out.fd, 0) != 0 || (file_ = ::fdopen(out.fd, "wb")) == nullptr) {
    ::close(out.fd);
    return Creation::Failed;
  }
  return Creation::Created;
}

void ValidationLog::close() {
  if (file_ != nullptr && std::fclose(file_) != 0) reportWriteFailure();
  file_ = nullptr;
}

void ValidationLog::reportError(std::string_view text) {
  ++errorCount_;
  write("[ERR] ", text);
}

void ValidationLog::reportWarning(std::string_view text) {
  ++warningCount_;
  write("[AVISO] ", text);
}

void ValidationLog::onFinding(const Finding& finding) {
  std::string text = finding.message;
  text.push_back('\n');
  if (finding.severity == Severity::Error)
    reportError(text);
  else
    reportWarning(text);
}

void ValidationLog::appendLog(std::string_view text) { write({}, text); }

void ValidationLog::write(std::string_view prefix, std::string_view text) {
  if (noFile_) return;
  pending_.assign(prefix);
  for (char c : text) {
    if (c == '\n') pending_.push_back('\r');
    pending_.push_back(c);
  }
  const bool written = file_ != nullptr &&
                       std::fwrite(pending_.data(), 1, pending_.size(), file_) == pending_.size() &&
                       std::fflush(file_) == 0;
  if (!written)
    reportWriteFailure();
  else if (echo_)
    echo_(pending_);
}

void ValidationLog::reportWriteFailure() {
  if (writeFailed_) return;
  writeFailed_ = true;
  notifier_.showMessage("Problemas ao adicionar dados no arquivo de log."_cp, "Erro!", Icon::Error);
}

}  // namespace tavex
