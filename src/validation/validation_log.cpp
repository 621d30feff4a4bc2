#include "validation/validation_log.h"

#include "cotepe/text.h"
#include "ui/user_interface.h"

namespace tavex {

bool ValidationLog::create(const std::string& path) {
  close();
  file_ = std::fopen(path.c_str(), "wb");
  writeFailureShown_ = false;
  return file_ != nullptr;
}

void ValidationLog::close() {
  if (file_ != nullptr) std::fclose(file_);
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

void ValidationLog::appendLog(std::string_view text) { write({}, text); }

void ValidationLog::write(std::string_view prefix, std::string_view text) {
  pending_.assign(prefix);
  for (char c : text) {
    if (c == '\n') pending_.push_back('\r');
    pending_.push_back(c);
  }
  const bool written = file_ != nullptr &&
                       std::fwrite(pending_.data(), 1, pending_.size(), file_) == pending_.size() &&
                       std::fflush(file_) == 0;
  if (!written && !writeFailureShown_) {
    writeFailureShown_ = true;
    ui_.showMessage("Problemas ao adicionar dados no arquivo de log."_cp, "Erro!", Icon::Error);
  }
}

}  // namespace tavex
