#include "export/csv_export.h"

#include <unistd.h>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cotepe/file_access.h"
#include "cotepe/record_layout.h"
#include "cotepe/text.h"
#include "export/line_file.h"

namespace tavex {

namespace {

// How one field goes into its CSV line: what precedes it (none, ";" or ";'") and
// where its bytes lie in the record.
struct CsvPiece {
  std::uint16_t from;  // 0-based offset in the record
  std::uint16_t width;
  std::uint8_t lead;   // bytes before the field: 0, 1 (";") or 2 (";'")
};

// Sixteen bytes of the line of a whole record: byte k is the record's byte
// base + pick[k], or fixed[k] (a separator, an apostrophe, the line end) where
// pick[k] is 0x80.
struct alignas(16) CsvChunk {
  std::uint8_t pick[16];
  char fixed[16];
  std::uint32_t base;
};

// Per type, the fields in line order, the room a CSV line needs and the chunks
// that build the line of a whole record.
struct CsvPlan {
  std::size_t recordLength = 0;  // where the last field ends: a shorter record is cut field by field
  std::size_t lineLength = 0;    // the line of a whole record, CR LF included
  std::size_t room = 0;          // the longest line plus the slack a chunk may write past it
  std::vector<CsvPiece> pieces;
  std::vector<CsvChunk> chunks;  // empty when the record is shorter than one chunk
};

// Bytes a chunk may write past the end of the line it builds.
constexpr std::size_t kChunkSlack = 16;

// The chunks of `plan`'s whole-record line, from its pieces.
std::vector<CsvChunk> chunksOf(const CsvPlan& plan) {
  if (plan.recordLength < 16) return {};
  // Each byte of the line: its offset in the record, or -1 and the fixed character.
  std::vector<int> source(plan.lineLength, -1);
  std::string fixed(plan.lineLength, '\0');
  std::size_t o = 0;
  for (const CsvPiece& c : plan.pieces) {
    if (c.lead >= 1) fixed[o++] = ';';
    if (c.lead == 2) fixed[o++] = '\'';
    for (int k = 0; k < c.width; ++k) source[o++] = c.from + k;
  }
  fixed[o++] = '\r';
  fixed[o++] = '\n';
  std::vector<CsvChunk> chunks((plan.lineLength + 15) / 16);
  for (std::size_t j = 0; j < chunks.size(); ++j) {
    CsvChunk& b = chunks[j];
    // The record's bytes in a chunk are consecutive (fields follow each other), so
    // one 16-byte load that stays inside the record holds them all.
    int first = -1;
    for (std::size_t k = 0; k < 16 && first < 0 && 16 * j + k < plan.lineLength; ++k) first = source[16 * j + k];
    b.base = first < 0 ? 0u : static_cast<std::uint32_t>(std::min<std::size_t>(first, plan.recordLength - 16));
    for (std::size_t k = 0; k < 16; ++k) {
      const std::size_t at = 16 * j + k;
      const int from = at < plan.lineLength ? source[at] : -1;
      b.pick[k] = from < 0 ? 0x80 : static_cast<std::uint8_t>(from - static_cast<int>(b.base));
      b.fixed[k] = from < 0 && at < plan.lineLength ? fixed[at] : '\0';
    }
  }
  return chunks;
}

const std::array<CsvPlan, 22> kCsvPlans = [] {
  std::array<CsvPlan, 22> plans{};
  for (int type = 1; type <= 21; ++type) {
    const RecordLayout& layout = *layoutOf(type);
    CsvPlan& plan = plans[static_cast<std::size_t>(type)];
    std::size_t line = 2;  // CR LF
    for (const FieldLayout& f : layout.fields) {
      const int lead = f.number == 1 ? 0 : f.csv == Csv::Apostrophe ? 2 : 1;
      plan.pieces.push_back({static_cast<std::uint16_t>(f.start - 1), static_cast<std::uint16_t>(f.width),
                             static_cast<std::uint8_t>(lead)});
      line += static_cast<std::size_t>(lead + f.width);
      plan.recordLength = static_cast<std::size_t>(f.start - 1 + f.width);
    }
    plan.lineLength = line;
    plan.room = line + kChunkSlack;
    plan.chunks = chunksOf(plan);
  }
  return plans;
}();

// The largest room any record type needs.
const std::size_t kMostRoom = [] {
  std::size_t most = 0;
  for (const CsvPlan& plan : kCsvPlans) most = std::max(most, plan.room);
  return most;
}();

#if defined(__x86_64__) || defined(__i386__)
#define TAVEX_CSV_CHUNKS 1
// The line of a whole record, sixteen bytes at a time (a byte shuffle and an OR).
__attribute__((target("ssse3"))) char* writeChunks(char* out, const CsvPlan& plan, const char* record) {
  char* p = out;
  for (const CsvChunk& b : plan.chunks) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(record + b.base));
    v = _mm_shuffle_epi8(v, _mm_load_si128(reinterpret_cast<const __m128i*>(b.pick)));
    v = _mm_or_si128(v, _mm_load_si128(reinterpret_cast<const __m128i*>(b.fixed)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
    p += 16;
  }
  return out + plan.lineLength;
}

// SSSE3 (the byte shuffle) is checked once, as the program starts.
const bool kHaveChunks = [] {
  __builtin_cpu_init();
  return __builtin_cpu_supports("ssse3") != 0;
}();
#endif

// Copies exactly `n` (>= 1) bytes, reading and writing nothing outside them.
inline void copyExactly(char* to, const char* from, std::size_t n) {
  if (n >= 16) {
    for (std::size_t k = 0; k + 16 < n; k += 16) std::memcpy(to + k, from + k, 16);
    std::memcpy(to + n - 16, from + n - 16, 16);
  } else if (n >= 8) {
    std::memcpy(to, from, 8);
    std::memcpy(to + n - 8, from + n - 8, 8);
  } else if (n >= 4) {
    std::memcpy(to, from, 4);
    std::memcpy(to + n - 4, from + n - 4, 4);
  } else {
    to[0] = from[0];
    to[n - 1] = from[n - 1];
    to[n / 2] = from[n / 2];
  }
}

// Writes the CSV line of `record` (type 1..21) at `out`, which has
// kCsvPlans[type].room bytes; returns the end of the line.
char* writeCsvLine(char* out, int type, std::string_view record) {
  const CsvPlan& plan = kCsvPlans[static_cast<std::size_t>(type)];
#ifdef TAVEX_CSV_CHUNKS
  if (kHaveChunks && record.size() >= plan.recordLength && !plan.chunks.empty())
    return writeChunks(out, plan, record.data());
#endif
  // Field by field: a short record gives fields cut short or empty, every
  // separator kept.
  char* p = out;
  for (const CsvPiece& c : plan.pieces) {
    std::memcpy(p, ";'", 2);
    p += c.lead;
    if (c.from >= record.size()) continue;
    const std::size_t n = std::min<std::size_t>(c.width, record.size() - c.from);
    copyExactly(p, record.data() + c.from, n);
    p += n;
  }
  *p++ = '\r';
  *p++ = '\n';
  return p;
}

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
// until the end (the export never holds more than 21 files). Each file's lines
// are built straight into a block of its own, written out when it holds
// kBlockBytes or more.
class CsvOutputs {
 public:
  explicit CsvOutputs(std::string folder) : folder_(std::move(folder)) {}

  // Appends the CSV line of `record` to the file of `type`, creating the file with
  // its header first when it does not exist yet. 0, or 1 on failure.
  int appendCsvLine(int type, std::string_view record) {
    Output& o = outputs_[static_cast<std::size_t>(type)];
    if (!o.file.isOpen() && !openFor(type, o)) return 1;
    o.used = static_cast<std::size_t>(writeCsvLine(o.block.get() + o.used, type, record) - o.block.get());
    return o.used < kBlockBytes || writeBlock(o) ? 0 : 1;
  }

  // Why the last file could not be opened (a refusal message), or empty.
  const std::string& refusal() const { return refusal_; }

  bool closeAll() {
    bool ok = true;
    for (Output& o : outputs_) {
      if (o.file.isOpen() && o.used > 0) ok = writeBlock(o) && ok;
      const bool closed = o.file.close();
      if (!closed && systemError_ == 0) systemError_ = o.file.systemError();
      ok = closed && ok;
    }
    return ok;
  }

  // errno of the first failed open or write, 0 for none.
  int systemError() const { return systemError_; }

  // After a failure (files closed): removes the files this run created and cuts
  // the ones it appended to back to their size before the run.
  void takeBack() {
    for (Output& o : outputs_) {
      if (o.path.empty()) continue;
      if (o.created) {
        ::unlink(o.path.c_str());
      } else {
        const OutputFile out = openOutputFile(o.path, OutputMode::Append);
        if (out.fd >= 0) {
          if (::ftruncate(out.fd, static_cast<off_t>(o.sizeBefore)) != 0) {
            // Nothing more can be done; the failure is reported all the same.
          }
          ::close(out.fd);
        }
      }
      o.path.clear();
    }
  }

 private:
  static constexpr std::size_t kBlockBytes = 1 << 16;  // gathered bytes that make a write

  struct Output {
    LineFile file;
    std::unique_ptr<char[]> block;  // kBlockBytes plus room for one more line
    std::size_t used = 0;
    std::string path;          // set once this run opened the file
    bool created = false;      // created by this run (else appended to)
    long long sizeBefore = 0;  // what an appended file held before the run
  };

  bool openFor(int type, Output& o) {
    const std::string path = (std::filesystem::path(folder_) / csvFileName(type)).string();
    const bool append = isReadable(path);
    const bool opened = o.file.open(path, append ? LineFile::Mode::Append : LineFile::Mode::CreateNew);
    if (opened) {
      o.path = path;
      o.created = !append;
      o.sizeBefore = o.file.openedSize();
    }
    if (!opened || (!append && !o.file.writeLine(csvHeader(type) + "\r\n"))) {
      refusal_ = outputRefusalMessage(o.file.openError(), path);
      if (systemError_ == 0) systemError_ = o.file.systemError();
      return false;
    }
    if (!o.block) o.block = std::make_unique_for_overwrite<char[]>(kBlockBytes + kMostRoom);
    o.used = 0;
    return true;
  }

  bool writeBlock(Output& o) {
    const bool ok = o.file.writeLines(std::string_view(o.block.get(), o.used));
    if (!ok && systemError_ == 0) systemError_ = o.file.systemError();
    o.used = 0;
    return ok;
  }

  std::string folder_;
  std::string refusal_;
  int systemError_ = 0;
  std::array<Output, 22> outputs_;
};

// Cuts one record (line end removed) into its CSV line and appends it. 0, or 1.
int writeCsvRecord(CsvOutputs& outputs, int type, std::string_view record) { return outputs.appendCsvLine(type, record); }

}  // namespace

std::string csvHeader(int type) {
  std::string header;
  for (const FieldLayout& f : layoutOf(type)->fields) {
    if (!header.empty()) header += ';';
    header += f.name;
  }
  return header;
}

void appendCsvRecord(std::string& out, int type, std::string_view record) {
  const std::size_t start = out.size();
  out.resize(start + kCsvPlans[static_cast<std::size_t>(type)].room);
  char* const end = writeCsvLine(out.data() + start, type, record);
  out.resize(static_cast<std::size_t>(end - out.data()));
}

int convertToCsv(const std::string& inputPath, const std::string& outputFolder, WorkerControl& control,
                 std::string* reason) {
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
    const int type = csvRecordType(raw);  // a line end is no digit: the raw line has its record's type
    if (type == 0) continue;
    if (writeCsvRecord(outputs, type, removeLineFeed(raw)) != 0) {
      outputs.closeAll();
      outputs.takeBack();
      if (outputs.refusal().empty()) {
        if (reason != nullptr) *reason = reasonLine(outputs.systemError());
        return kCsvOutputFailed;
      }
      control.notify({outputs.refusal(), "Erro!", Icon::Error});
      return kCsvOutputRefused;
    }
  }
  const bool closed = outputs.closeAll();
  if (input.reader().readFailed()) return kCsvInputUnreadable;
  if (closed) return kCsvDone;
  outputs.takeBack();
  if (reason != nullptr) *reason = reasonLine(outputs.systemError());
  return kCsvOutputFailed;
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
  // Written by the worker, read once it has finished.
  auto reason = std::make_shared<std::string>();
  const WorkerOutcome outcome = runOnWorker(
      ui, session.job,
      conversionProcedure([inputPath, outputFolder, reason](WorkerControl& c) {
        return convertToCsv(inputPath, outputFolder, c, reason.get());
      }),
      true);
  if (outcome != WorkerOutcome::Finished) return std::nullopt;

  if (!previousDirectory.empty()) std::filesystem::current_path(previousDirectory, ec);
  const int status = session.job.status();
  showStatusMessage(ui, kCsvMessages, status, folder, *reason);
  return status;
}

}  // namespace tavex
