#include "window/main_dialog.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "cotepe/text.h"
#include "indicators/file_indicators.h"
#include "validation/tolerance.h"

namespace tavex {

namespace {

constexpr std::size_t kPieceLimit = 1499;
const char* const kLineNumberFormat = "%08.8d - "_cp;  // as the desktop program numbers lines

bool readWhole(const std::string& path, std::string& bytes) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  in.seekg(0, std::ios::beg);
  bytes.resize(size > 0 ? static_cast<std::size_t>(size) : 0);
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  return true;
}

}  // namespace

std::vector<Piece> pieceIndex(const std::string& bytes) {
  std::vector<Piece> pieces;
  pieces.reserve(bytes.size() / 64 + 1);
  // Text-mode reading: CR LF reads as LF. A line longer than the limit comes in
  // pieces of the limit; the line feed that ends a line is dropped.
  std::size_t at = 0;
  while (at < bytes.size()) {
    const void* found = std::memchr(bytes.data() + at, '\n', bytes.size() - at);
    const bool hasLf = found != nullptr;
    const std::size_t lf = hasLf ? static_cast<std::size_t>(static_cast<const char*>(found) - bytes.data()) : bytes.size();
    std::size_t start = at;
    std::size_t length = lf - at;
    if (hasLf && length > 0 && bytes[lf - 1] == '\r') --length;
    // A full piece ends the read before the line feed is seen, so a line that fills
    // the last piece exactly leaves its line feed as an empty piece.
    while (length > kPieceLimit || (hasLf && length == kPieceLimit)) {
      pieces.push_back({start, kPieceLimit});
      start += kPieceLimit;
      length -= kPieceLimit;
    }
    if (length > 0 || hasLf) pieces.push_back({start, length});
    at = hasLf ? lf + 1 : bytes.size();
  }
  return pieces;
}

std::string numberedPieces(const std::string& bytes, bool numbered) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8 + 64);
  int n = 0;
  char number[32];
  for (const Piece& p : pieceIndex(bytes)) {
    if (numbered) {
      const int length = std::snprintf(number, sizeof number, kLineNumberFormat, ++n);
      out.append(number, static_cast<std::size_t>(length));
    }
    out.append(bytes, p.offset, p.length);
    out.append("\r\n");
  }
  return out;
}

MainDialog::MainDialog(UserInterface& ui, std::string startDirectory)
    : ui(ui), startDirectory(std::move(startDirectory)) {}

std::vector<std::string> MainDialog::portNames() {
  return {"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8", "USB"};
}

bool MainDialog::openSavedCotepeFile() {
  // The file open now stays until another one is read: a cancelled chooser must
  // not leave the next validation without a file (and the results without theirs).
  std::error_code ec;
  const std::filesystem::path remembered = std::filesystem::current_path(ec);
  const auto chosen = ui.chooseOpenFile(OpenFileRequest{"*.txt", "", "Arquivos Texto (*.txt)|*.txt||", true});
  if (!chosen) return false;
  if (!remembered.empty()) std::filesystem::current_path(remembered, ec);

  return openCotepeFile(*chosen);
}

bool MainDialog::openCotepeFile(const std::string& path) {
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (!ec && size > kMaxShownFileBytes) {
    ui.showMessage("Arquivo com tamanho maior que o limite (30 MB).", "Erro!", Icon::Error);
    return false;
  }
  std::string bytes;
  if (ec || !readWhole(path, bytes)) return false;
  state.outputText.clear();
  shownFile = {};
  state.currentCotepePath = path;
  if (numberedTextInOutput) state.outputText = numberedPieces(bytes, true);
  shownFile.pieces = pieceIndex(bytes);
  shownFile.bytes = std::move(bytes);
  return true;
}

MainDialog::ValidationResults MainDialog::validateNow(Notifier& notifier, std::string path, std::int64_t tolerance,
                                                     bool formatOnly, const ValidationOptions& options) {
  ValidationResults results;
  results.path = std::move(path);
  if (!formatOnly) results.toleranceCents = tolerance;
  FindingCollector collector;
  ValidationOptions withCollector = options;
  withCollector.sinks.push_back(&collector);
  withCollector.logCreated = [&results, created = options.logCreated] {
    results.started = true;
    if (created) created();
  };
  const std::optional<FileStamp> before = stampOf(results.path);
  IndicatorRun run;
  if (formatOnly)
    run.summary = validateCotepeFileQuick(notifier, results.path, withCollector);
  else
    run = validateWithIndicators(notifier, results.path, tolerance, IndicatorSettings{}, withCollector);
  // What the findings are about, to tell later whether the file is still that one.
  if (before) results.file = ValidatedFile(results.path, *before);
  results.findings = std::move(collector.findings);
  results.reconciliation = std::move(run.summary.reconciliation);
  results.indicators = std::move(run.indicators);
  results.ran = run.summary.ran;
  results.summary = std::move(run.summary);
  return results;
}

bool MainDialog::takeResults(ValidationResults results) {
  if (!results.started) return false;
  lastFindings = std::move(results.findings);
  lastReconciliation = std::move(results.reconciliation);
  lastIndicators = std::move(results.indicators);
  lastValidatedPath = std::move(results.path);
  lastValidationRan = results.ran;
  lastValidatedFile = std::move(results.file);
  lastToleranceCents = results.toleranceCents;
  if (results.logText && state.currentCotepePath == lastValidatedPath)
    state.outputText = std::move(*results.logText);
  else
    showLogInOutput();
  return true;
}

std::optional<std::int64_t> MainDialog::toleranceOfRun(bool formatOnly) {
  if (formatOnly) return 0;
  const std::optional<std::int64_t> cents = strictToleranceCents(state.toleranceText);
  if (!cents) {
    const std::string forms = utf8ToCp1252(kToleranceForms);
    ui.showMessage("Tolerância inválida: \""_cp + state.toleranceText + "\". Escreva " + forms + ".", "Erro!", Icon::Error);
  }
  return cents;
}

void MainDialog::noteSpeed(const std::string& path, double seconds) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  // A run too short to time says little; a big file read fast is the better guess.
  if (!ec && size > (1u << 20) && seconds > 0) validationBytesPerSecond = static_cast<double>(size) / seconds;
}

WindowValidation MainDialog::runValidation(bool formatOnly, const ValidationOptions& options) {
  const std::optional<std::int64_t> tolerance = toleranceOfRun(formatOnly);
  if (!tolerance) return WindowValidation::NotRun;
  const auto started = std::chrono::steady_clock::now();
  ValidationResults results = validateNow(ui, state.currentCotepePath, *tolerance, formatOnly, options);
  noteSpeed(results.path, std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
  return takeResults(std::move(results)) ? WindowValidation::Shown : WindowValidation::NotRun;
}

bool MainDialog::validationLooksLong() const {
  std::error_code ec;
  const auto size = std::filesystem::file_size(state.currentCotepePath, ec);
  const double bytesPerSecond = validationBytesPerSecond > 0 ? validationBytesPerSecond / 16 : 40e6;
  return !ec && static_cast<double>(size) / bytesPerSecond > 0.5;
}

namespace {

// The validation's message boxes, raised on the worker and shown when it ends.
class WorkerNotifier : public Notifier {
 public:
  explicit WorkerNotifier(WorkerControl& control) : control_(control) {}
  void showMessage(std::string_view text, std::string_view title, Icon icon) override {
    control_.notify(WorkerNotice{std::string(text), std::string(title), icon});
  }

 private:
  WorkerControl& control_;
};

}  // namespace

WindowValidation MainDialog::runValidationFromWindow(WorkerJob& job, bool formatOnly, const ValidationOptions& options) {
  if (!validationLooksLong()) return runValidation(formatOnly, options);
  const std::optional<std::int64_t> toleranceRead = toleranceOfRun(formatOnly);
  if (!toleranceRead) return WindowValidation::NotRun;
  const std::string path = state.currentCotepePath;
  const std::int64_t tolerance = *toleranceRead;
  ValidationResults results;
  double seconds = 0;
  const WorkerOutcome outcome = runOnWorker(ui, job, [&](WorkerContext& context) {
    WorkerNotifier notifier(context);
    const auto started = std::chrono::steady_clock::now();
    results = validateNow(notifier, path, tolerance, formatOnly, options);
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    // The log of a long run is long too: read here, not on the window's thread.
    if (std::string bytes; readWhole(path + ".log", bytes)) results.logText = numberedPieces(bytes, false);
    context.finish(0);
  }, false);
  // A cancelled run was waited for (it stops only at its end): its results are dropped.
  if (outcome == WorkerOutcome::Cancelled) return WindowValidation::Cancelled;
  if (outcome != WorkerOutcome::Finished) return WindowValidation::NotRun;
  noteSpeed(path, seconds);
  return takeResults(std::move(results)) ? WindowValidation::Shown : WindowValidation::NotRun;
}

bool MainDialog::showLogInOutput() {
  state.outputText.clear();
  std::string bytes;
  if (state.currentCotepePath.empty() || !readWhole(state.currentCotepePath + ".log", bytes)) return false;
  state.outputText = numberedPieces(bytes, false);
  return true;
}

}  // namespace tavex
