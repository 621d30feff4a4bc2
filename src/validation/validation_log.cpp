#include "validation/validation_log.h"

#include <cerrno>

#include "cotepe/file_access.h"
#include "cotepe/text.h"
#include "platform/platform.h"

namespace tavex {

namespace {

// The line under "Problemas ao criar o arquivo de log.": a log refused for want of
// permission that has no write bit is read-only, for anyone.
std::string creationCauseOf(const std::string& path, int error) {
  platform::FileInfo st;
  if ((error == EACCES || error == EPERM) && platform::pathInfo(path, st) && (st.mode & 0222) == 0)
    return "Motivo: o arquivo de log é somente leitura."_cp;
  return reasonLine(error);
}

}  // namespace

ValidationLog::Creation ValidationLog::create(const std::string& path) {
  close();
  writeFailed_ = false;
  creationCause_.clear();
  // The name is locked, never emptied: the new text goes to a file of its own, so
  // a run still writing the log keeps its lines and a failed run the old ones.
  // A lock taken on a file that lost the name meanwhile (a run renaming its new
  // log over it) is let go and taken again on what the name holds now.
  for (int attempt = 0;; ++attempt) {
    const OutputFile out = openOutputFile(path, OutputMode::Reuse);
    switch (out.error) {
      case OutputError::None: break;
      case OutputError::Symlink: return Creation::Symlink;
      case OutputError::NotRegular: return Creation::NotRegular;
      default: creationCause_ = creationCauseOf(path, out.systemError); return Creation::Failed;
    }
    if (FileLock::lockDescriptor(out.fd) == FileLock::Result::Busy) {
      platform::closeFile(out.fd);
      return Creation::Busy;
    }
    platform::FileInfo held, named;
    if (platform::descriptorInfo(out.fd, held) && platform::pathInfo(path, named) && held.device == named.device &&
        held.inode == named.inode) {
      lockFd_ = out.fd;
      createdEmpty_ = held.size == 0;
      break;
    }
    platform::closeFile(out.fd);
    if (attempt == 3) return Creation::Busy;
  }
  path_ = path;
  file_ = std::make_unique<WholeFileWriter>(path);
  if (!file_->good()) {
    creationCause_ = creationCauseOf(path, file_->refusal() == OutputError::ReadOnly ? EACCES : file_->systemError());
    file_.reset();
    dropEmptyName();
    platform::closeFile(lockFd_);
    lockFd_ = -1;
    return Creation::Failed;
  }
  return Creation::Created;
}

void ValidationLog::close() {
  if (file_ != nullptr) {
    const WholeFileResult result = file_->finish();
    file_.reset();
    if (!result.ok()) reportWriteFailure(result.systemError);
    if (result.splitHardLink)
      notifier_.showMessage(hardLinkSplitMessage(path_), "Aviso", Icon::Warning);
    if (writeFailed_) dropEmptyName();
  }
  if (lockFd_ >= 0) platform::closeFile(lockFd_);
  lockFd_ = -1;
}

void ValidationLog::dropEmptyName() {
  // A failed run leaves no log it made: the empty file that held the name goes.
  platform::FileInfo held, named;
  if (createdEmpty_ && platform::descriptorInfo(lockFd_, held) && held.size == 0 && platform::pathInfo(path_, named) &&
      held.device == named.device && held.inode == named.inode)
    platform::removeFile(path_);
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
  if (file_ != nullptr) file_->write(pending_);
  if (file_ == nullptr || !file_->good())
    reportWriteFailure(file_ != nullptr ? file_->systemError() : 0);
  else if (echo_)
    echo_(pending_);
}

void ValidationLog::reportWriteFailure(int error) {
  if (writeFailed_) return;
  writeFailed_ = true;
  std::string message = "Problemas ao adicionar dados no arquivo de log."_cp;
  if (error != 0) message += "\n" + reasonLine(error);
  notifier_.showMessage(message, "Erro!", Icon::Error);
}

}  // namespace tavex
