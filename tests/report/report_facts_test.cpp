// What the report learns of a file from the validation's own read (size, SHA-256,
// the cited records, the signature) is what reading the file again tells.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cotepe/br_format.h"
#include "cotepe/text.h"
#include "generator.h"
#include "printer/library_support.h"
#include "report/report_file.h"
#include "support/files.h"
#include "validation/validate.h"

namespace tavex::report {
namespace {

using testing::TempDir;
using testing::readFile;
using testing::writeFile;

class QuietNotifier : public Notifier {
 public:
  void showMessage(std::string_view, std::string_view, Icon) override {}
};

// A generated file of a few thousand lines with a finding on every 97th E15 line
// (its net total off by one cent), so that the cited lines fall across the index's
// marks.
std::string damagedFile() {
  GeneratorOptions g;
  g.seed = 7;
  g.targetBytes = 400000;
  std::ostringstream out;
  generateCotepe(out, g);
  std::string text = out.str();
  int e15 = 0;
  for (std::size_t at = 0; at < text.size(); at = text.find('\n', at) + 1) {
    if (text.compare(at, 3, "E15") != 0 || ++e15 % 97 != 0) continue;
    const std::size_t end = text.find('\r', at);
    char& digit = text[end - 1];
    digit = digit == '9' ? '8' : static_cast<char>(digit + 1);
  }
  return text;
}

// The report's file as the tapped run makes it, and as it is when read again.
std::pair<ReportedFile, ReportedFile> bothWays(const std::string& path, const SignatureMaker* maker) {
  FileFacts facts;
  FindingCollector collector;
  ValidationOptions options("20990101");
  options.sinks.push_back(&collector);
  options.readTap = [&facts](std::string_view raw) { facts.add(raw); };
  QuietNotifier notifier;
  const ValidationSummary summary = validateCotepeFile(notifier, path, 0, options);
  const std::string catalogue = testing::kStagedSimulator.parent_path().string();
  ReportedFile tapped =
      reportedFileOf(path, &summary, collector.findings, "", false, catalogue, 100, std::nullopt, maker, &facts);
  ReportedFile reread = reportedFileOf(path, &summary, collector.findings, "", false, catalogue, 100, std::nullopt, maker);
  return {std::move(tapped), std::move(reread)};
}

void expectSameFacts(const ReportedFile& tapped, const ReportedFile& reread) {
  EXPECT_EQ(tapped.size, reread.size);
  EXPECT_EQ(tapped.sha256, reread.sha256);
  EXPECT_EQ(tapped.records, reread.records);
  EXPECT_EQ(tapped.signature, reread.signature);
  EXPECT_EQ(tapped.signatureKey, reread.signatureKey);
}

TEST(ReportFacts, TheValidationsReadGivesWhatReadingTheFileAgainGives) {
  TempDir dir;
  const std::string path = dir.file("danificado.txt");
  writeFile(path, damagedFile());
  const auto [tapped, reread] = bothWays(path, nullptr);
  ASSERT_GT(tapped.records.size(), 10u) << "findings cite lines all over the file";
  EXPECT_GT(tapped.records.rbegin()->first - tapped.records.begin()->first, 1000);
  expectSameFacts(tapped, reread);
  EXPECT_EQ(tapped.sha256, sha256HexOfFile(path).value_or(""));

  // A signed example, valid and tampered with, checked with the maker's key.
  const SignatureMaker maker{"DATAREGIS", ""};
  for (const char* name : {"tdm_valido.txt", "tdm_assinatura_adulterada.txt", "tdm_item_divergente.txt"}) {
    const std::string example = dir.file(name);
    writeFile(example, readFile(std::string(TAVEX_SOURCE_DIR) + "/exemplos/" + name));
    const auto [t, r] = bothWays(example, &maker);
    EXPECT_NE(t.signature, SignatureCheck::NotChecked) << name;
    expectSameFacts(t, r);
  }
}

TEST(ReportFacts, CitedLinesAreFetchedAcrossMarksUpToAnUnendedLastLine) {
  TempDir dir;
  std::string text;
  FileFacts facts;
  const int lines = 1000;
  for (int i = 1; i <= lines; ++i) {
    std::string line = cformat("E15 linha %d ", i) + std::string(static_cast<std::size_t>(i % 300), 'x');
    if (i % 333 == 0) line.append(70000, 'y');  // longer than any buffer
    line += i == lines ? "" : i % 2 ? "\r\n" : "\n";
    facts.add(line);
    text += line;
  }
  const std::string path = dir.file("linhas.txt");
  writeFile(path, text);
  const std::vector<int> wanted = {1, 2, 255, 256, 257, 258, 333, 513, 700, 999, 1000, 1001};
  const std::map<int, std::string> found = facts.linesOf(path, wanted);
  ASSERT_EQ(found.size(), wanted.size() - 1) << "line 1001 does not exist";
  for (const auto& [n, line] : found) {
    EXPECT_TRUE(line.starts_with(cformat("E15 linha %d ", n))) << n;
    EXPECT_EQ(line.size(), cformat("E15 linha %d ", n).size() + static_cast<std::size_t>(n % 300) +
                               (n % 333 == 0 ? 70000u : 0u))
        << n;
  }
  EXPECT_EQ(facts.size(), text.size());
}

}  // namespace
}  // namespace tavex::report
