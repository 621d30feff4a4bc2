// tavex-cli conciliar: the reconciliation table in its three forms, and the
// README's and the auditors' guide's tables of finding codes kept equal to the
// program's.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include <nlohmann/json.hpp>

#include <set>
#include <sstream>
#include <string>

#include "cli/commands.h"
#include "cli/reconciliation_table.h"
#include "cotepe/text.h"
#include "generator.h"
#include "support/cli_capture.h"
#include "support/files.h"
#include "support/sample_files.h"
#include "validation/finding.h"

namespace tavex::cli {
namespace {

using tavex::testing::TempDir;

using Outcome = tavex::testing::CliOutcome;

Outcome run(const Args& args) { return tavex::testing::runCaptured(runConciliar, args); }

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start - (end > start && text[end - 1] == '\r')));  // CSV rows end in CR LF
    start = end + 1;
  }
  return lines;
}

std::size_t columns(const std::string& utf8) {
  std::size_t n = 0;
  for (unsigned char c : utf8) n += (c & 0xC0) != 0x80;
  return n;
}

class CliConciliar : public ::testing::Test {
 protected:
  void SetUp() override {
    auto lines = testing::sampleTdmFile();
    lines[12] = testing::sampleRecord(13, {{"CRZ", "1"}, {"TOTALIZADOR", "01T1800"}, {"VALOR_ACUMULADO", "1005"}});
    testing::writeFile(file, testing::joinLines(lines));
  }
  TempDir dir;
  const std::string file = dir.file("ecf.txt");
};

TEST_F(CliConciliar, TheTableHasAlignedColumnsAndMarksTheRowsOverTheTolerance) {
  const Outcome o = run({file});
  EXPECT_EQ(o.status, 1);
  const auto lines = linesOf(o.out);
  ASSERT_GE(lines.size(), 4u);
  EXPECT_TRUE(lines[0].starts_with("CRZ     Data        COOs           Registro")) << lines[0];
  int marked = 0;
  for (std::size_t i = 1; i < lines.size() && !lines[i].empty(); ++i) {
    // The amounts are right-aligned: every row ends where the header does.
    EXPECT_EQ(lines[i].find("  "), 6u) << lines[i];
    if (lines[i].ends_with("*")) {
      ++marked;
      EXPECT_NE(lines[i].find("E13"), std::string::npos);
      EXPECT_NE(lines[i].find("01T1800"), std::string::npos);
      EXPECT_NE(lines[i].find("10,05"), std::string::npos) << lines[i];
      EXPECT_EQ(columns(lines[i]), columns(lines[0]) + 3) << lines[i];  // "  *"
    } else {
      EXPECT_EQ(columns(lines[i]), columns(lines[0])) << lines[i];
    }
  }
  EXPECT_EQ(marked, 1);
  EXPECT_NE(o.out.find("1 acima da tolerância de 0,00"), std::string::npos) << o.out;
  // Within a wider tolerance nothing is marked.
  const Outcome wide = run({file, "--tolerancia", "0,05"});
  EXPECT_EQ(wide.status, 0);
  EXPECT_EQ(wide.out.find('*', wide.out.find('\n')), wide.out.rfind('*')) << wide.out;  // only the legend's
}

// After a format error the sums are short: every form of the table says so, and
// from which line, instead of showing the computed zeros as facts.
TEST_F(CliConciliar, SumsCutShortByAFormatErrorAreMarkedIncompleteInEveryForm) {
  auto lines = testing::sampleTdmFile();
  lines[13] = testing::sampleRecord(14, {{"CCF/CVC/CBP", "1"}, {"COO", "1"}, {"SUBTOTAL", "1000"},
                                         {"TOTAL_LIQUIDO", "1000"}, {"DATA_INICIO", "2012AB01"}});
  testing::writeFile(file, testing::joinLines(lines));
  const std::string notice = "As verificações de conteúdo foram desligadas a partir da linha 14 por um erro de formato";
  const Outcome text = run({file});
  EXPECT_NE(text.out.find("Somas incompletas. " + notice), std::string::npos) << text.out;
  const Outcome csv = run({file, "--csv"});
  EXPECT_EQ(csv.out.find("Somas"), std::string::npos);  // the CSV stays a table
  EXPECT_NE(csv.err.find(notice), std::string::npos) << csv.err;
  const auto doc = nlohmann::json::parse(run({file, "--json"}).out);
  EXPECT_EQ(doc["completa"], false);
  EXPECT_EQ(doc["desligada_na_linha"], 14);

  testing::writeFile(file, testing::joinLines(testing::sampleTdmFile()));
  const auto clean = nlohmann::json::parse(run({file, "--json"}).out);
  EXPECT_EQ(clean["completa"], true);
  EXPECT_TRUE(clean["desligada_na_linha"].is_null());
  EXPECT_EQ(run({file}).out.find("Somas incompletas"), std::string::npos);
}

TEST_F(CliConciliar, CsvAndJsonCarryTheSameRows) {
  const Outcome csv = run({file, "--csv"});
  EXPECT_EQ(csv.status, 1);
  const auto rows = linesOf(csv.out);
  // cp1252, like every other CSV file of the program (the JSON below stays UTF-8).
  EXPECT_EQ(rows[0], "CRZ;Data;COOs;Registro;Nome;Linha;Declarado;Calculado;Diferen\xE7" "a;Dentro da toler\xE2" "ncia");
  int outside = 0;
  for (const std::string& r : rows) outside += r.ends_with(";N");
  EXPECT_EQ(outside, 1);

  const Outcome js = run({file, "--json", "--tolerancia=0,01"});
  EXPECT_EQ(js.status, 1);
  const auto doc = nlohmann::json::parse(js.out);
  EXPECT_EQ(doc["tolerancia"], 1);
  EXPECT_EQ(doc["linhas_fora_da_tolerancia"], 1);
  std::size_t totals = 0;
  for (const auto& r : doc["reducoes"]) totals += r["totais"].size();
  EXPECT_EQ(totals, rows.size() - 1);  // all but the header
  EXPECT_EQ(run({file, "--csv", "--json"}).status, 2);
}

// A name from the file may hold any byte: the table goes on past a NUL to its last
// line with the control bytes shown by value, and the CSV keeps the name whole in
// one quoted field (a lone CR would split the row for a CSV reader).
TEST_F(CliConciliar, ANameWithNulOrControlBytesIsPrintedWhole) {
  auto lines = testing::sampleTdmFile();
  const std::string name("F\0Y\rZ;", 6);  // "F": a sales totalizer, compared with its coupons
  lines.insert(lines.begin() + 13,
               testing::sampleRecord(13, {{"CRZ", "1"}, {"TOTALIZADOR", name}, {"VALOR_ACUMULADO", "5"}}));
  testing::writeFile(file, testing::joinLines(lines));

  const Outcome text = run({file});
  EXPECT_EQ(text.status, 1) << text.err << text.out;
  EXPECT_NE(text.out.find("F\\x00Y\\x0DZ;"), std::string::npos) << text.out;
  EXPECT_EQ(text.out.find('\0'), std::string::npos);
  EXPECT_EQ(text.out.find('\r'), std::string::npos);
  EXPECT_NE(text.out.find(" acima da tolerância de 0,00 (marcados com *).\n"), std::string::npos) << text.out;

  const Outcome csv = run({file, "--csv"});
  EXPECT_EQ(csv.status, 1);
  EXPECT_NE(csv.out.find(";E13;\"" + name + "\";"), std::string::npos) << csv.out;
  EXPECT_EQ(std::count(csv.out.begin(), csv.out.end(), '\n'), std::count(text.out.begin(), text.out.end(), '\n') - 2);
}

TEST(ReconciliationCsv, QuotesEveryFieldACsvReaderWouldSplit) {
  Reconciliation table;
  ReductionReconciliation r;
  r.crz = 1;
  r.date = "20120102";
  for (const char* name : {"a;b", "a\"b", "a\rb", "a\nb", "plain"}) r.totals.push_back({TotalKind::Totalizer, name, 3, 1, 1, 0, true});
  table.reductions = {r};
  const std::string csv = reconciliationCsv(table);
  for (const char* quoted : {";\"a;b\";", ";\"a\"\"b\";", ";\"a\rb\";", ";\"a\nb\";", ";plain;"})
    EXPECT_NE(csv.find(quoted), std::string::npos) << quoted;
}

TEST_F(CliConciliar, WhatCannotBeReconciledExitsTwo) {
  Outcome o = run({dir.file("falta.txt")});
  EXPECT_EQ(o.status, 2);
  EXPECT_NE(o.err.find("Problemas ao abrir"), std::string::npos) << o.err;
  auto lines = testing::sampleTdmFile();
  lines.erase(lines.begin() + 12);  // no E13: the run stops after the structural scan
  testing::writeFile(file, testing::joinLines(lines));
  o = run({file});
  EXPECT_EQ(o.status, 2);
  EXPECT_NE(o.err.find("use --continuar"), std::string::npos) << o.err;
  EXPECT_EQ(o.out, "");
  o = run({file, "--continuar"});
  EXPECT_NE(o.status, 2) << o.err;
  EXPECT_EQ(run({}).status, 2);
  EXPECT_EQ(run({"a", "b"}).status, 2);
}

// A run that compared no total has no result to give: exit 2 with the reason, and
// no empty table on standard output.
TEST_F(CliConciliar, NothingComparedExitsTwoWithTheReason) {
  auto formatError = testing::sampleTdmFile();
  formatError[10] = testing::sampleRecord(11, {{"DATA_CAP", "2012AB01"}});  // before any E12
  const struct {
    std::vector<std::string> lines;
    std::string reason;
  } cases[] = {
      {testing::sampleMfdFile(), "nenhum total foi conciliado: o arquivo não declara total de redução Z"},
      {formatError, "nenhum total foi conciliado: As verificações de conteúdo foram desligadas a partir da linha 11"},
  };
  for (const auto& c : cases) {
    testing::writeFile(file, testing::joinLines(c.lines));
    for (const char* form : {"--csv", "--json", "--continuar"}) {
      const Outcome o = run({file, form});
      EXPECT_EQ(o.status, 2) << form;
      EXPECT_NE(o.err.find(c.reason), std::string::npos) << o.err;
      EXPECT_EQ(o.out, "");
    }
  }
  auto mf = testing::sampleMfFile();
  mf[10] = formatError[10];
  testing::writeFile(dir.file("mf.txt"), testing::joinLines(mf));
  testing::writeFile(dir.file("mfd.txt"), testing::joinLines(testing::sampleMfdFile()));
  const Outcome pair = run({dir.file("mf.txt"), dir.file("mfd.txt")});
  EXPECT_EQ(pair.status, 2);
  EXPECT_NE(pair.err.find("desligou as somas antes do primeiro total"), std::string::npos) << pair.err << pair.out;
}

// The README lists every finding code with what it checks, in the table's order.
// The MF and the MFD of the sample TDM file, the payment declared one real higher:
// one row over the tolerance, citing both files.
TEST(CliConciliarPair, RowsSayWhichFileAndLineTheyComeFrom) {
  TempDir dir;
  testing::writeSampleMemoriesWithPaymentOff(dir.file("mf.txt"), dir.file("mfd.txt"));
  // Either order; no log is written.
  const Outcome text = run({dir.file("mfd.txt"), dir.file("mf.txt")});
  EXPECT_EQ(text.status, 1) << text.err;
  EXPECT_NE(text.out.find("Declarado em  Documentos"), std::string::npos) << text.out;
  EXPECT_FALSE(std::filesystem::exists(dir.file("mf.txt.log")));
  const std::vector<std::string> rows = linesOf(text.out);
  const auto over = std::count_if(rows.begin(), rows.end(), [](const std::string& l) {
    return l.ends_with("*") && l.find("E18") != std::string::npos && l.find("MFD:") != std::string::npos;
  });
  EXPECT_EQ(over, 1) << text.out;

  const Outcome json = run({dir.file("mf.txt"), dir.file("mfd.txt"), "--json"});
  const auto doc = nlohmann::json::parse(json.out);
  EXPECT_EQ(doc["ecf"], testing::kSampleSerial);
  EXPECT_EQ(doc["reducoes"][0]["totais"][0]["origem"]["declarado"]["arquivo"], "MF");
  EXPECT_EQ(doc["reducoes"][0]["totais"].back()["origem"]["declarado"]["arquivo"], "MFD");
  const Outcome csv = run({dir.file("mf.txt"), dir.file("mfd.txt"), "--csv"});
  EXPECT_NE(csv.out.find("Declarado em;Documentos"), std::string::npos) << csv.out;

  EXPECT_EQ(run({dir.file("mf.txt"), dir.file("mf.txt")}).status, 2);
  EXPECT_EQ(run({dir.file("mf.txt"), dir.file("mfd.txt"), dir.file("mf.txt")}).status, 2);
}

TEST(FindingCodesDocumentation, TheReadmeTableIsTheProgramsTable) {
  std::string expected = "| Código | O que verifica |\n|---|---|\n";
  for (const FindingCodeInfo& c : findingCodes()) expected += "| `" + std::string(c.code) + "` | " + std::string(c.what) + " |\n";
  const std::string readme = testing::readFile(std::string(TAVEX_SOURCE_DIR) + "/README.md");
  const std::string begin = "<!-- tabela de códigos: início -->\n", end = "<!-- tabela de códigos: fim -->";
  const std::size_t from = readme.find(begin), to = readme.find(end);
  ASSERT_NE(from, std::string::npos) << expected;
  ASSERT_NE(to, std::string::npos);
  EXPECT_EQ(readme.substr(from + begin.size(), to - from - begin.size()), expected) << expected;
}

// The auditors' guide lists every finding code, in the program's order, with what it
// checks and whom it points at.
TEST(FindingCodesDocumentation, TheGuideSaysWhatEveryCodePointsAt) {
  const std::string guide = testing::readFile(std::string(TAVEX_SOURCE_DIR) + "/docs/manual.md");
  const std::string begin = "<!-- códigos dos achados: início -->\n", end = "<!-- códigos dos achados: fim -->";
  const std::size_t from = guide.find(begin), to = guide.find(end);
  ASSERT_NE(from, std::string::npos);
  ASSERT_NE(to, std::string::npos);
  std::istringstream rows(guide.substr(from + begin.size(), to - from - begin.size()));
  std::string row;
  std::getline(rows, row);  // header
  std::getline(rows, row);  // rule
  const std::set<std::string> targets = {"arquivo", "ECF", "contribuinte", "ECF ou arquivo", "contribuinte ou arquivo"};
  for (const FindingCodeInfo& c : findingCodes()) {
    ASSERT_TRUE(std::getline(rows, row)) << "missing from the guide: " << c.code;
    const std::string start = "| `" + std::string(c.code) + "` | " + std::string(c.what) + " | ";
    ASSERT_TRUE(row.starts_with(start) && row.ends_with(" |")) << row << "\nexpected to begin with " << start;
    const std::string target = row.substr(start.size(), row.size() - start.size() - 2);
    EXPECT_TRUE(targets.count(target)) << c.code << " points at \"" << target << "\"";
  }
  EXPECT_FALSE(std::getline(rows, row) && !row.empty()) << "a code the program does not have: " << row;
}

}  // namespace
}  // namespace tavex::cli
