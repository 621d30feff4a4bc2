#include "ui/main_dialog.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "cotepe/text.h"
#include "ui/tolerance.h"

namespace tavex {

namespace {

constexpr std::size_t kPieceLimit = 1499;
const char* const kLineNumberFormat = "%08.8d - "_cp;  // as the desktop program numbers lines

bool readWhole(const std::string& path, std::string& bytes) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

}  // namespace

std::string numberedPieces(const std::string& bytes, bool numbered) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8 + 64);
  std::string piece;
  int n = 0;
  const auto flush = [&] {
    if (numbered) out += cformat(kLineNumberFormat, ++n);
    out += piece;
    out += "\r\n";
    piece.clear();
  };
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    char c = bytes[i];
    if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') c = bytes[++i];  // text mode: CR LF is LF
    if (c == '\n') {
      flush();
      continue;
    }
    piece.push_back(c);
    if (piece.size() == kPieceLimit) flush();
  }
  if (!piece.empty()) flush();
  return out;
}

MainDialog::MainDialog(UserInterface& ui, std::string startDirectory)
    : ui(ui), startDirectory(std::move(startDirectory)) {}

std::vector<std::string> MainDialog::portNames() {
  return {"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8", "USB"};
}

void MainDialog::openSavedCotepeFile() {
  outputText.clear();
  currentCotepePath.clear();
  std::error_code ec;
  const std::filesystem::path remembered = std::filesystem::current_path(ec);
  const auto chosen = ui.chooseOpenFile(OpenFileRequest{"*.txt", "", "Arquivos Texto (*.txt)|*.txt||", true});
  if (!chosen) return;
  if (!remembered.empty()) std::filesystem::current_path(remembered, ec);

  outputText.clear();
  const std::uintmax_t size = std::filesystem::file_size(*chosen, ec);
  if (!ec && size > kMaxShownFileBytes) {
    ui.showMessage("Arquivo com tamanho maior que o limite (30 MB).", "Erro!", Icon::Error);
    return;
  }
  std::string bytes;
  if (ec || !readWhole(*chosen, bytes)) return;
  currentCotepePath = *chosen;
  outputText = numberedPieces(bytes, true);
}

void MainDialog::runValidation(bool formatOnly, const ValidationOptions& options) {
  if (formatOnly)
    validateCotepeFileQuick(ui, currentCotepePath, options);
  else
    validateCotepeFile(ui, currentCotepePath, toleranceCentsFromText(toleranceText), options);
  showLogInOutput();
}

bool MainDialog::showLogInOutput() {
  outputText.clear();
  std::string bytes;
  if (currentCotepePath.empty() || !readWhole(currentCotepePath + ".log", bytes)) return false;
  outputText = numberedPieces(bytes, false);
  return true;
}

}  // namespace tavex
