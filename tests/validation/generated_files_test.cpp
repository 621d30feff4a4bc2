// Whole generated files: every kind validates clean, and faults injected into a
// clean file give exactly the expected lines.
#include <algorithm>
#include <sstream>

#include "cotepe/record_layout.h"
#include "cotepe/text.h"
#include "generator.h"
#include "support/generated_lines.h"
#include "validation_fixture.h"

namespace tavex::testing {
namespace {

std::vector<std::string> generated(FileKind kind, std::uint64_t seed, std::uint64_t bytes = 200000) {
  GeneratorOptions options;
  options.kind = kind;
  options.seed = seed;
  options.targetBytes = bytes;
  return generatedLines(options);
}

std::size_t firstOf(const std::vector<std::string>& lines, const char* type, std::size_t skip = 0) {
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (lines[i].starts_with(type) && skip-- == 0) return i;
  return lines.size();
}

TEST_F(ValidationTest, GeneratedFilesOfEveryKindValidateClean) {
  for (FileKind kind : {FileKind::MF, FileKind::MFD, FileKind::TDM, FileKind::RZ})
    for (std::uint64_t seed : {1, 7}) {
      const auto summary = validate(generated(kind, seed));
      EXPECT_EQ(summary.errors, 0) << static_cast<int>(kind) << " seed " << seed;
      EXPECT_EQ(summary.warnings, 0) << static_cast<int>(kind) << " seed " << seed;
    }
}

// The MF read of a printer that issued documents: the reductions' COOs leave gaps
// (the documents between them live in the detail memory), which an MF file does not
// report as missing COO numbers.
TEST_F(ValidationTest, AnMfFileReportsNoMissingCooBetweenItsReductions) {
  GeneratorOptions options;
  options.seed = 5;
  options.reductions = 4;
  std::ostringstream mf, mfd;
  generateMemoryPair(mf, mfd, nullptr, options);
  const auto lines = linesOf(mf.str());
  ASSERT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l.starts_with("E12"); }), 4);
  validate(lines);
  EXPECT_EQ(findings(), std::vector<std::string>{});
}

TEST_F(ValidationTest, FaultsInjectedIntoAGeneratedFile) {
  auto lines = generated(FileKind::TDM, 3);
  // 1. A reduction total off by more than the tolerance.
  const std::size_t e13 = firstOf(lines, "E13");
  const std::int64_t declared = leadingInt(lines[e13].substr(59, 13));
  lines[e13].replace(59, 13, cformat("%013lld", static_cast<long long>(declared + 6)));
  // 2. An item whose net total does not match its value.
  const std::size_t e15 = firstOf(lines, "E15", 4);
  const std::int64_t net = leadingInt(lines[e15].substr(209, 14));
  lines[e15].replace(209, 14, cformat("%014lld", static_cast<long long>(net + 1)));
  const int coo = static_cast<int>(leadingInt(lines[e15].substr(46, 6)));
  validate(lines, 5);
  const auto found = findings();
  const std::string totalizer = lines[e13].substr(52, 7);
  ASSERT_GE(found.size(), 4u);
  EXPECT_EQ(found[0], utf8ToCp1252(cformat("[ERR] Linha %zu: E15 -> Valor Total Líquido não confere com demais dados do "
                                           "item. COO:%06d", e15 + 1, coo)));
  EXPECT_EQ(found.back(), utf8ToCp1252(cformat("[ERR] Linha %zu: E13 -> Erro no totalizador %s (campo 8). Valor não "
                                               "confere com o somatório das vendas dos cupons. CRZ: 000001",
                                               e13 + 1, totalizer.c_str())));
}

TEST_F(ValidationTest, AWholeMissingDocumentIsAMissingCoo) {
  auto lines = generated(FileKind::MFD, 5);
  const std::size_t header = firstOf(lines, "E14", 2);
  const std::string coo = lines[header].substr(52, 6);
  std::erase_if(lines, [&](const std::string& l) {
    return (l.starts_with("E14") && l.substr(52, 6) == coo) || (l.starts_with("E15") && l.substr(46, 6) == coo) ||
           (l.starts_with("E21") && l.substr(46, 6) == coo);
  });
  validate(lines);
  const auto found = findings();
  ASSERT_FALSE(found.empty());
  EXPECT_EQ(found[0], "[ERR] Erro -> COO faltante de numero " + coo + ".");
}


// The file is read once, its lines checked while its structure is examined, their
// findings held back; past the budget for them the lines are checked again in a
// second read, from the state before the first line. Either way the log, the
// findings and their order are the same.
TEST_F(ValidationTest, HeldFindingsAndASecondReadGiveTheSameLog) {
  const std::vector<std::string> clean = generated(FileKind::TDM, 3);
  std::vector<std::string> warned = clean;  // MF_ADICIONAL: a warning per item, reported before it is summed
  for (std::string& line : warned)
    if (line.starts_with("E15")) line[static_cast<std::size_t>(fieldLayout(E15::MfAdicional).start - 1)] = 'x';
  std::vector<std::string> unformatted = warned;  // a number that fails halfway switches the content checks off
  unformatted[firstOf(unformatted, "E15", 40)][static_cast<std::size_t>(fieldLayout(E15::Quantidade).start - 1)] = 'x';
  std::vector<std::string> outOfOrder = warned;
  std::swap(outOfOrder[3], outOfOrder[outOfOrder.size() - 3]);
  std::vector<std::string> missing = generated(FileKind::MFD, 3);
  std::erase_if(missing, [](const std::string& l) { return l.starts_with("E17"); });
  for (const bool continuing : {false, true}) {
    for (const auto& lines : {clean, warned, unformatted, outOfOrder, missing}) {
      writeFile(path(), joinLines(lines));
      std::vector<std::string> logs, found;
      for (const std::size_t budget : {std::size_t{8} << 20, std::size_t{0}, std::size_t{3000}}) {
        ValidationOptions o = options();
        o.continueAfterMissingRecords = continuing;
        o.heldFindingsBudget = budget;
        validateCotepeFile(ui, path(), 0, o);
        logs.push_back(log());
        std::string all;
        for (const std::string& f : findings()) all += f + "\n";
        found.push_back(all);
      }
      EXPECT_EQ(lines == clean, found[0].empty());  // every damage is found
      EXPECT_EQ(logs[1], logs[0]);
      EXPECT_EQ(logs[2], logs[0]);
      EXPECT_EQ(found[1], found[0]);
      EXPECT_EQ(found[2], found[0]);
    }
  }
  EXPECT_TRUE(ui.messages.empty());
}

}  // namespace
}  // namespace tavex::testing
