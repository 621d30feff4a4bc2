#include "export/csv_export.h"

#include <unistd.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <initializer_list>

#include "cotepe/file_access.h"
#include "cotepe/record_layout.h"
#include "cotepe/text.h"
#include "export/line_file.h"

namespace tavex {

namespace {

// Field numbers written behind an apostrophe, by record type.
struct ApostropheFields {
  int type;
  std::initializer_list<int> fields;
};

const ApostropheFields kApostrophes[] = {
    {1, {7, 9, 11, 13, 14, 15, 16, 17, 18}},
    {2, {5, 6, 10, 11}},
    {3, {7, 8, 9}},
    {4, {7, 8, 9, 10}},
    {5, {5, 7}},
    {6, {5, 7}},
    {7, {}},
    {8, {5}},
    {9, {5, 7}},
    {10, {5, 7, 8, 9}},
    {11, {5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 16, 17}},
    {12, {6, 7, 8, 11}},
    {13, {6}},
    {14, {6, 7, 19}},
    {15, {6, 7, 9}},
    {16, {6, 7, 8, 9, 10, 13}},
    {17, {6}},
    {18, {6}},
    {19, {6, 7, 8, 19}},
    {20, {6, 7, 8}},
    {21, {6, 7, 8}},
};

// Per type, a bit per field number: written behind an apostrophe.
const std::array<std::uint32_t, 22> kApostropheMask = [] {
  std::array<std::uint32_t, 22> mask{};
  for (const ApostropheFields& row : kApostrophes)
    for (int field : row.fields) mask[static_cast<std::size_t>(row.type)] |= 1u << field;
  return mask;
}();

// Per type, the longest CSV line: every field at its width, a separator and an
// apostrophe before each, the line end.
const std::array<std::size_t, 22> kCsvLineBound = [] {
  std::array<std::size_t, 22> bound{};
  for (int type = 1; type <= 21; ++type) {
    std::size_t n = 2;
    for (const FieldLayout& f : layoutOf(type)->fields) n += static_cast<std::size_t>(f.width) + 2;
    bound[static_cast<std::size_t>(type)] = n;
  }
  return bound;
}();

constexpr const char* kFolderHasCotepe = "Este diretório já contém arquivos COTEPE! Selecione outro diretório."_cp;

// The end of "Exportar CSV"; the path is the output folder.
constexpr StatusMessage kCsvMessages[] = {
    {kCsvInputUnreadable, "Problemas ao abrir o arquivo COTEPE.", "Erro!", Icon::Error},
    {kCsvOutputFailed, "Problemas ao abrir o arquivo CSV de saída."_cp, "Erro!", Icon::Error},
    {kCsvFolderBusy, kFolderInUse, "Erro!", Icon::Error, true},
    {kCsvInputNotRegular, kNotRegularInput, "Erro!", Icon::Error},
    {kCsvFolderHasCotepe, kFolderHasCotepe, "Erro!", Icon::Error},
    {kCsvOutputRefused, nullptr},  // the worker has shown why
    {kAnyOtherStatus, "Processo de conversão finalizado.\nArquivos salvos no caminho:\n%s"_cp, "Aviso",
     Icon::Information, true},
};

std::string csvFileName(int type) { return cformat("E%02d.csv", type); }

bool isReadable(const std::string& path) {
  std::error_code ec;
  return !std::filesystem::is_directory(path, ec) && ::access(path.c_str(), R_OK) == 0;
}

// The 21 output files, opened at the first record of their type and kept open
// until the end (the export never holds more than 21 files).
class CsvOutputs {
 public:
  explicit CsvOutputs(std::string folder) : folder_(std::move(folder)) {}

  // Appends the CSV line of `record` to the file of `type`, creating the file with
  // its header first when it does not exist yet. 0, or 1 on failure.
  int appendCsvLine(int type, std::string_view record) {
    LineFile& file = files_[static_cast<std::size_t>(type)];
    if (!file.isOpen() && !openFor(type, file)) return 1;
    return file.buildLine([&](std::string& out) { appendCsvRecord(out, type, record); }) ? 0 : 1;
  }

  // Why the last file could not be opened (a refusal message), or empty.
  const std::string& refusal() const { return refusal_; }

  bool closeAll() {
    bool ok = true;
    for (LineFile& f : files_) ok = f.close() && ok;
    return ok;
  }

 private:
  bool openFor(int type, LineFile& file) {
    const std::string path = (std::filesystem::path(folder_) / csvFileName(type)).string();
    const bool opened = isReadable(path) ? file.open(path, LineFile::Mode::Append)
                                         : file.open(path, LineFile::Mode::CreateNew) &&
                                               file.writeLine(csvHeader(type) + "\r\n");
    if (!opened) refusal_ = outputRefusalMessage(file.openError(), path);
    return opened;
  }

  std::string folder_;
  std::string refusal_;
  std::array<LineFile, 22> files_;
};

// Cuts one record (line end removed) into its CSV line and appends it. 0, or 1.
int writeCsvRecord(CsvOutputs& outputs, int type, std::string_view record) { return outputs.appendCsvLine(type, record); }

}  // namespace

int csvRecordType(std::string_view line) {
  if (line.size() < 3 || line[0] != 'E' || line[1] < '0' || line[1] > '9' || line[2] < '0' || line[2] > '9') return 0;
  const int type = (line[1] - '0') * 10 + (line[2] - '0');
  return type >= 1 && type <= 21 ? type : 0;
}

std::string csvHeader(int type) {
  std::string header;
  for (const FieldLayout& f : layoutOf(type)->fields) {
    if (!header.empty()) header += ';';
    header += f.name;
  }
  return header;
}

void appendCsvRecord(std::string& out, int type, std::string_view record) {
  const RecordLayout& layout = *layoutOf(type);
  const std::uint32_t apostrophes = kApostropheMask[static_cast<std::size_t>(type)];
  // Room for the longest line first, then the bytes copied in place.
  const std::size_t start = out.size();
  out.resize(start + kCsvLineBound[static_cast<std::size_t>(type)]);
  char* p = out.data() + start;
  for (const FieldLayout& f : layout.fields) {
    if (f.number > 1) {
      *p++ = ';';
      if ((apostrophes >> f.number) & 1u) *p++ = '\'';
    }
    const std::string_view value = sliceField(record, f.start, f.width);
    if (!value.empty()) std::memcpy(p, value.data(), value.size());  // an empty field may have no data pointer
    p += value.size();
  }
  *p++ = '\r';
  *p++ = '\n';
  out.resize(static_cast<std::size_t>(p - out.data()));
}

int convertToCsv(const std::string& inputPath, const std::string& outputFolder, WorkerControl& control) {
  FileLock lock;
  if (lock.lockFolder(outputFolder) == FileLock::Result::Busy) return kCsvFolderBusy;
  if (isReadable((std::filesystem::path(outputFolder) / "E01.csv").string())) return kCsvFolderHasCotepe;
  ConversionReader input(control);
  if (!input.open(inputPath)) return input.reader().notRegular() ? kCsvInputNotRegular : kCsvInputUnreadable;
  CsvOutputs outputs(outputFolder);
  std::string_view raw;
  while (input.next(raw)) {
    if (control.cancelRequested()) {
      outputs.closeAll();
      return kConversionCancelled;
    }
    const std::string_view record = removeLineFeed(raw);
    const int type = csvRecordType(record);
    if (type == 0) continue;
    if (writeCsvRecord(outputs, type, record) != 0) {
      outputs.closeAll();
      if (outputs.refusal().empty()) return kCsvOutputFailed;
      control.notify({outputs.refusal(), "Erro!", Icon::Error});
      return kCsvOutputRefused;
    }
  }
  const bool closed = outputs.closeAll();
  if (input.reader().readFailed()) return kCsvInputUnreadable;
  return closed ? kCsvDone : kCsvOutputFailed;
}

std::optional<int> exportCsv(UserInterface& ui, ConversionSession& session) {
  const std::optional<std::string> input = ui.chooseOpenFile(cotepeFileRequest());
  if (!input) return std::nullopt;
  session.currentCotepeFile = *input;
  std::error_code ec;
  const std::filesystem::path previousDirectory = std::filesystem::current_path(ec);

  std::string folder;
  for (;;) {
    const std::optional<std::string> chosen = ui.chooseFolder("Selecione o diretório de saída dos arquivos CSV:"_cp);
    if (!chosen || chosen->empty()) return std::nullopt;
    if (!isReadable((std::filesystem::path(*chosen) / "E01.csv").string())) {
      folder = *chosen;
      break;
    }
    ui.showMessage(kFolderHasCotepe, "Erro!", Icon::Error);
  }

  const std::string inputPath = absolutePath(*input);
  const std::string outputFolder = absolutePath(folder);
  std::filesystem::current_path(outputFolder, ec);
  session.job.inputPath = inputPath;
  const WorkerOutcome outcome = runOnWorker(
      ui, session.job,
      conversionProcedure([inputPath, outputFolder](WorkerControl& c) { return convertToCsv(inputPath, outputFolder, c); }),
      true);
  if (outcome != WorkerOutcome::Finished) return std::nullopt;

  if (!previousDirectory.empty()) std::filesystem::current_path(previousDirectory, ec);
  const int status = session.job.status();
  showStatusMessage(ui, kCsvMessages, status, folder);
  return status;
}

}  // namespace tavex
