// Damage loops: a small valid file of each kind with one byte flipped, deleted or
// duplicated, run through both validations, both conversions and the split. Nothing
// may crash, and every output must be whole: a log closed by its summary, CSV lines
// and split outputs ended by CR LF, a database holding every exportable line.
//
// Positions: in every line a byte of the record type and a byte of the line end, and
// every k-th byte besides; the database export (a file synced to disk each time)
// runs on every sixteenth damaged input. So the loops stay quick under the
// sanitizers.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "cotepe/record_layout.h"
#include "cotepe/text.h"
#include "export/csv_export.h"
#include "export/export_fixture.h"
#include "export/file_split.h"
#include "export/mdb_export.h"
#include "jobs/worker_job.h"
#include "support/files.h"
#include "support/sample_files.h"
#include "support/scripted_ui.h"
#include "validation/validate.h"

namespace tavex {
namespace {

namespace fs = std::filesystem;
using namespace testing;

constexpr std::size_t kStride = 71;  // prime: successive lines are hit in different columns

enum class Damage { Flip, Delete, Duplicate };

std::string damaged(const std::string& bytes, std::size_t at, Damage damage) {
  std::string out = bytes;
  switch (damage) {
    case Damage::Flip: {
      static constexpr unsigned char kMasks[] = {0x01, 0x10, 0x20, 0x80, 0xFF};
      out[at] = static_cast<char>(static_cast<unsigned char>(out[at]) ^ kMasks[at % std::size(kMasks)]);
      break;
    }
    case Damage::Delete: out.erase(at, 1); break;
    case Damage::Duplicate: out.insert(at, 1, out[at]); break;
  }
  return out;
}

// One byte of each line's record type and one of its line end, turning with the
// line and with `turn` (so the three kinds of damage hit different ones), and every
// k-th byte of the file.
std::vector<std::size_t> positionsOf(const std::string& bytes, std::size_t turn) {
  std::set<std::size_t> at;
  std::size_t lineStart = 0, lineIndex = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i % kStride == 0 || i - lineStart == (lineIndex + turn) % 3) at.insert(i);
    if (bytes[i] == '\n') {
      at.insert((lineIndex + turn) % 2 == 0 || i == lineStart ? i : i - 1);  // the LF or the CR before it
      lineStart = i + 1;
      ++lineIndex;
    }
  }
  return {at.begin(), at.end()};
}

std::vector<std::string> sampleRzFile() {
  std::vector<std::string> lines = {sampleE01("RZ "), sampleE02()};
  for (const std::string& l : sampleDocuments()) {
    const int type = std::stoi(l.substr(1, 2));
    if (type <= 16 || type == 21) lines.push_back(l);
  }
  lines.push_back(sampleEad());
  return lines;
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size() - 1;
    lines.push_back(text.substr(start, end + 1 - start));
    start = end + 1;
  }
  return lines;
}

int countLinesStartingWith(const std::string& text, const std::string& prefix) {
  int n = 0;
  for (const std::string& l : linesOf(text)) n += l.starts_with(prefix);
  return n;
}

// One damaged input, in a folder of its own, and what each run must leave.
class DamagedInput {
 public:
  DamagedInput(const fs::path& folder, const std::string& bytes) : folder_(folder), bytes_(bytes) {
    fs::create_directories(folder_ / "csv");
    writeFile(input(), bytes);
  }
  ~DamagedInput() { fs::remove_all(folder_); }

  std::string input() const { return (folder_ / "ecf.txt").string(); }

  // The log: whole CR LF lines, one "[ERR] " line per error and one "[AVISO] " per
  // warning, the counts in the summary, and the closing line last.
  void checkLog(const ValidationSummary& s) const {
    ASSERT_TRUE(s.ran);
    const std::string log = readFile(input() + ".log");
    EXPECT_TRUE(allLinesWhole(log));
    EXPECT_EQ(countLinesStartingWith(log, "[ERR] "), s.errors);
    EXPECT_EQ(countLinesStartingWith(log, "[AVISO] "), s.warnings);
    EXPECT_NE(log.find("\r\n" + std::to_string(s.errors) + " erro(s) encontrado(s).\r\n"), std::string::npos);
    EXPECT_NE(log.find("\r\n" + std::to_string(s.warnings) + " avisos(s) encontrado(s).\r\n"), std::string::npos);
    std::string end = log;
    while (end.ends_with("\r\n")) end.resize(end.size() - 2);
    EXPECT_TRUE(end.ends_with("Fim da validação do arquivo."_cp)) << log.substr(log.size() > 200 ? log.size() - 200 : 0);
  }

  void validateBoth() const {
    ScriptedUserInterface ui;
    checkLog(validateCotepeFile(ui, input(), 5, ValidationOptions{kSampleToday}));
    checkLog(validateCotepeFileQuick(ui, input(), ValidationOptions{kSampleToday}));
    EXPECT_TRUE(ui.messages.empty());
  }

  // Every CSV file: its header first, whole lines, and at least every separator of
  // the header on each line (a damaged byte may be a separator itself).
  void exportCsv() const {
    DirectWorkerControl control;
    ASSERT_EQ(convertToCsv(input(), (folder_ / "csv").string(), control), kCsvDone);
    int lines = 0;
    for (const auto& e : fs::directory_iterator(folder_ / "csv")) {
      const std::string name = e.path().filename().string();
      const int type = csvRecordType(name);
      ASSERT_TRUE(type >= 1 && name == name.substr(0, 3) + ".csv") << name;
      const std::string text = readFile(e.path().string());
      EXPECT_TRUE(allLinesWhole(text)) << name;
      const std::vector<std::string> csv = linesOf(text);
      ASSERT_FALSE(csv.empty());
      EXPECT_EQ(csv[0], csvHeader(type) + "\r\n");
      const auto separators = std::count(csv[0].begin(), csv[0].end(), ';');
      for (const std::string& l : csv) EXPECT_GE(std::count(l.begin(), l.end(), ';'), separators) << name;
      lines += static_cast<int>(csv.size()) - 1;
    }
    EXPECT_EQ(lines, exportableLines(csvRecordType));
  }

  // The database holds one row per line that names a table.
  void exportDatabase() const {
    DirectWorkerControl control;
    std::tm when{};
    when.tm_year = 112;
    when.tm_mday = 1;
    const MdbResult r = convertToMdb(input(), folder_.string(), when, control);
    ASSERT_EQ(r.status, kMdbDone);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(r.path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    int rows = 0;
    for (int table = 0; table < 22; ++table) {
      const std::string name = table < 21 ? "E" + std::string(table < 9 ? "0" : "") + std::to_string(table + 1) : "EAD";
      sqlite3_stmt* count = nullptr;
      ASSERT_EQ(sqlite3_prepare_v2(db, ("SELECT COUNT(*) FROM " + name).c_str(), -1, &count, nullptr), SQLITE_OK)
          << sqlite3_errmsg(db);
      ASSERT_EQ(sqlite3_step(count), SQLITE_ROW);
      rows += sqlite3_column_int(count, 0);
      sqlite3_finalize(count);
    }
    sqlite3_close(db);
    EXPECT_EQ(rows, exportableLines([](std::string_view l) { return mdbTableOf(l) + 1; }));
  }

  // The split: a known status, no temporary file left, every output whole and
  // opened by an E01.
  void split() const {
    DirectWorkerControl control;
    const int status = splitWorker(input(), control);
    EXPECT_TRUE(status == kSplitDone || status == kSplitUnknownRecord || status == kSplitNoReduction ||
                status == kSplitRefusedMf)
        << status;
    for (const auto& e : fs::directory_iterator(folder_)) {
      const std::string name = e.path().filename().string();
      EXPECT_FALSE(name.starts_with("ctp_file")) << name;
      if (!name.starts_with("ecf_")) continue;
      const std::string text = readFile(e.path().string());
      EXPECT_TRUE(allLinesWhole(text)) << name;
      EXPECT_EQ(recordTypeOf(text), 1) << name;  // the input's E01, however damaged
    }
  }

 private:
  // The input's lines (line end removed as the conversions do) for which `typeOf` is not 0.
  template <typename TypeOf>
  int exportableLines(TypeOf typeOf) const {
    int n = 0;
    for (const std::string& l : linesOf(bytes_)) n += typeOf(removeLineFeed(l)) != 0;
    return n;
  }

  fs::path folder_;
  std::string bytes_;
};

struct Kind {
  const char* name;
  std::vector<std::string> (*lines)();
};

void PrintTo(const Kind& kind, std::ostream* os) { *os << kind.name; }

class DamageLoop : public ::testing::TestWithParam<Kind> {};

void runDamage(const Kind& kind, Damage damage) {
  const std::string original = joinLines(kind.lines());
  TempDir dir;
  int n = 0;
  for (const std::size_t at : positionsOf(original, static_cast<std::size_t>(damage))) {
    SCOPED_TRACE(std::string(kind.name) + " byte " + std::to_string(at));
    const DamagedInput input(dir.path() / std::to_string(n++), damaged(original, at, damage));
    input.validateBoth();
    input.exportCsv();
    if (n % 16 == 1) input.exportDatabase();
    input.split();
    if (::testing::Test::HasFailure()) return;  // one damaged input's failures are enough to read
  }
}

TEST_P(DamageLoop, FlippedBytes) { runDamage(GetParam(), Damage::Flip); }
TEST_P(DamageLoop, DeletedBytes) { runDamage(GetParam(), Damage::Delete); }
TEST_P(DamageLoop, DuplicatedBytes) { runDamage(GetParam(), Damage::Duplicate); }

INSTANTIATE_TEST_SUITE_P(Kinds, DamageLoop,
                         ::testing::Values(Kind{"MF", sampleMfFile}, Kind{"MFD", sampleMfdFile},
                                           Kind{"TDM", sampleTdmFile}, Kind{"RZ", sampleRzFile}),
                         [](const auto& info) { return std::string(info.param.name); });

// The undamaged samples are what the loops start from: each validates cleanly
// (the RZ file but for its reduction totals, which it cannot hold), so a damaged
// run's findings come from the damage.
TEST(DamageLoopSamples, StartFromCleanFiles) {
  for (const Kind& kind : {Kind{"MF", sampleMfFile}, Kind{"MFD", sampleMfdFile}, Kind{"TDM", sampleTdmFile}}) {
    TempDir dir;
    writeFile(dir.file("ecf.txt"), joinLines(kind.lines()));
    ScriptedUserInterface ui;
    const ValidationSummary s = validateCotepeFile(ui, dir.file("ecf.txt"), 5, ValidationOptions{kSampleToday});
    EXPECT_TRUE(s.ran) << kind.name;
    EXPECT_EQ(s.errors, 0) << kind.name << "\n" << readFile(dir.file("ecf.txt.log"));
  }
}

}  // namespace
}  // namespace tavex
