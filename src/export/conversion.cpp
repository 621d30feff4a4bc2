#include "export/conversion.h"

#include <filesystem>

#include "cotepe/text.h"

namespace tavex {

OpenFileRequest cotepeFileRequest() {
  OpenFileRequest request;
  request.defaultExtension = "*.*";
  request.initialName = "Arquivo TXT Formatado";
  request.filter = "Arquivos TXT Formatados (*.txt)|*.txt|";
  request.mustExist = true;
  return request;
}

std::string_view removeLineFeed(std::string_view rawLine) {
  if (!rawLine.empty() && rawLine.back() == '\n') {
    rawLine.remove_suffix(1);
    if (!rawLine.empty() && rawLine.back() == '\r') rawLine.remove_suffix(1);
  }
  return rawLine;
}

bool ConversionReader::open(const std::string& path) {
  if (!reader_.open(path)) return false;
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  size_ = ec ? 0 : size;
  consumed_ = 0;
  lastProgress_ = -1;
  control_.setProgress(0);
  return true;
}

bool ConversionReader::next(std::string_view& rawLine) {
  if (!reader_.next(rawLine)) return false;
  consumed_ += rawLine.size();
  if (size_ > 0) {
    const int percent = static_cast<int>(consumed_ * 100 / size_);
    if (percent != lastProgress_) {
      lastProgress_ = percent;
      control_.setProgress(percent);
    }
  }
  return true;
}

void showStatusMessage(UserInterface& ui, std::span<const StatusMessage> messages, int status,
                       const std::string& path, std::string_view detail) {
  const StatusMessage* row = nullptr;
  for (const StatusMessage& m : messages) {
    if (m.status == status) {
      row = &m;
      break;
    }
    if (m.status == kAnyOtherStatus && row == nullptr) row = &m;
  }
  if (row == nullptr || row->text == nullptr) return;
  std::string text = row->withPath ? cformat(row->text, utf8ToCp1252(path).c_str()) : std::string(row->text);
  if (!detail.empty()) text.append("\n").append(detail);
  ui.showMessage(text, row->title, row->icon);
}

std::string absolutePath(const std::string& path) {
  std::error_code ec;
  const auto absolute = std::filesystem::absolute(path, ec);
  return ec ? path : absolute.string();
}

}  // namespace tavex
