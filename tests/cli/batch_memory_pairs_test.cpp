// The MF × MFD reconciliation inside a batch: validar (text and --json) pairs each
// MFD with the MFs of its ECF whose period it shares, reconciles them as
// conciliar MF MFD does, and says why a pair could not be reconciled.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <sstream>

#include <nlohmann/json.hpp>

#include "cli/commands.h"
#include "cli/ecf_groups.h"
#include "cotepe/record_layout.h"
#include "cotepe/text.h"
#include "generator.h"
#include "support/cli_capture.h"
#include "support/files.h"
#include "support/sample_files.h"

namespace tavex::cli {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using tavex::testing::TempDir;
using Outcome = tavex::testing::CliOutcome;

Outcome validar(const Args& args) { return tavex::testing::runCaptured(runValidar, args); }
Outcome conciliar(const Args& args) { return tavex::testing::runCaptured(runConciliar, args); }

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line.ends_with('\r') ? line.substr(0, line.size() - 1) : line);
  return lines;
}

// The lines of the batch's text output that tell a pair.
std::vector<std::string> pairLines(const std::string& out) {
  std::vector<std::string> found;
  for (const std::string& line : linesOf(out))
    if (line.starts_with("Conciliação MF × MFD (")) found.push_back(line);
  return found;
}

// The MF and the MFD of one generated ECF, reductions from 02/01/2012 one a day:
// CRZ 1..30 in January, 31..40 in February.
struct TwoMonths {
  std::vector<std::string> mf, mfd;
  explicit TwoMonths(bool withoutUnusedRecords = false) {
    GeneratorOptions options;
    options.reductions = 40;
    options.couponsPerReduction = 2;
    options.withoutUnusedRecords = withoutUnusedRecords;
    std::ostringstream mfText, mfdText;
    generateMemoryPair(mfText, mfdText, nullptr, options);
    mf = linesOf(mfText.str());
    mfd = linesOf(mfdText.str());
  }
};

TEST(BatchMemoryPairs, TheExamplePairInAFolderIsReconciledAsConciliarReconcilesIt) {
  TempDir dir;
  const fs::path folder = dir.path() / "uma_ecf";
  fs::copy(fs::path(TAVEX_SOURCE_DIR) / "exemplos" / "uma_ecf", folder);
  const std::string mf = (folder / "mf.txt").string(), mfd = (folder / "mfd_sem_cupom.txt").string();

  const Outcome batch = validar({folder.string(), "--json", "--jobs", "2"});
  EXPECT_EQ(batch.status, 1) << batch.err;
  const json whole = json::parse(batch.out);
  ASSERT_EQ(whole["ecfs"].size(), 1u);
  const json& pairs = whole["ecfs"][0]["conciliacoes_mf_mfd"];
  ASSERT_EQ(pairs.size(), 1u) << pairs;
  EXPECT_EQ(pairs[0]["mf"], mf);
  EXPECT_EQ(pairs[0]["mfd"], mfd);
  EXPECT_FALSE(pairs[0].contains("problema"));
  const Outcome pair = conciliar({mf, mfd, "--json"});
  EXPECT_EQ(pairs[0]["conciliacao"], json::parse(pair.out));
  EXPECT_EQ(pairs[0]["conciliacao"]["linhas_fora_da_tolerancia"], 6);

  // The text batch: one line after the summary table, in the auditor's words.
  const Outcome text = validar({folder.string(), "--jobs", "2"});
  EXPECT_EQ(pairLines(text.out),
            std::vector<std::string>{"Conciliação MF × MFD (TX000000000000000028): " + mf + " × " + mfd +
                                     ": 3 redução(ões) Z comparada(s), 6 total(is) acima da tolerância de 0,00"})
      << text.out;
  EXPECT_LT(text.out.find("0 interrompido(s)."), text.out.find("Conciliação MF × MFD"));
}

// Each memory alone is clean; only the two together show the payment declared one
// real higher, and that is what the exit status counts, as conciliar's does.
TEST(BatchMemoryPairs, APairOverTheToleranceMakesTheBatchFindErrors) {
  TempDir dir;
  testing::writeSampleMemoriesWithPaymentOff(dir.file("mf.txt"), dir.file("mfd.txt"));

  const Outcome o = validar({dir.path().string(), "--json"});
  const json whole = json::parse(o.out);
  for (const json& file : whole["arquivos"]) EXPECT_EQ(file["contagens"]["erros"], 0) << file["arquivo"];
  EXPECT_EQ(whole["ecfs"][0]["conciliacoes_mf_mfd"][0]["conciliacao"]["linhas_fora_da_tolerancia"], 1);
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(validar({dir.path().string()}).status, 1);
  EXPECT_EQ(validar({dir.path().string(), "--tolerancia", "1,00"}).status, 0);
}

TEST(BatchMemoryPairs, EachMfdPairsWithTheMfsWhosePeriodItShares) {
  TempDir dir;
  const TwoMonths ecf;
  testing::writeFile(dir.file("mf_janeiro.txt"), testing::joinLines(reductionsOf(ecf.mf, 1, 30)));
  testing::writeFile(dir.file("mf_fevereiro.txt"), testing::joinLines(reductionsOf(ecf.mf, 31, 40)));
  testing::writeFile(dir.file("mfd_fevereiro.txt"), testing::joinLines(reductionsOf(ecf.mfd, 31, 40)));

  Outcome o = validar({dir.path().string(), "--json", "--jobs", "2"});
  json whole = json::parse(o.out);
  json pairs = whole["ecfs"][0]["conciliacoes_mf_mfd"];
  ASSERT_EQ(pairs.size(), 1u) << pairs;
  EXPECT_EQ(pairs[0]["mf"], dir.file("mf_fevereiro.txt"));
  EXPECT_EQ(pairs[0]["conciliacao"]["reducoes"].size(), 10u);
  EXPECT_EQ(pairs[0]["conciliacao"]["linhas_fora_da_tolerancia"], 0);
  EXPECT_TRUE(pairs[0]["conciliacao"]["nao_comparadas"].empty());

  // A detail memory of both months meets both fiscal memories: several pairs.
  testing::writeFile(dir.file("mfd_bimestre.txt"), testing::joinLines(reductionsOf(ecf.mfd, 1, 40)));
  o = validar({dir.path().string(), "--json", "--jobs", "2"});
  pairs = json::parse(o.out)["ecfs"][0]["conciliacoes_mf_mfd"];
  std::vector<std::pair<std::string, std::string>> names;
  for (const json& p : pairs) names.emplace_back(p["mf"], p["mfd"]);
  EXPECT_EQ(names, (std::vector<std::pair<std::string, std::string>>{
                       {dir.file("mf_janeiro.txt"), dir.file("mfd_bimestre.txt")},
                       {dir.file("mf_fevereiro.txt"), dir.file("mfd_bimestre.txt")},
                       {dir.file("mf_fevereiro.txt"), dir.file("mfd_fevereiro.txt")}}));
  EXPECT_EQ(pairLines(validar({dir.path().string()}).out).size(), 3u);
}

// Without an MFD there is nothing to pair: an empty list in JSON, and the text
// batch prints what it printed before.
TEST(BatchMemoryPairs, AGroupWithoutAnMfdHasNoPair) {
  TempDir dir;
  const TwoMonths ecf;
  testing::writeFile(dir.file("mf_janeiro.txt"), testing::joinLines(reductionsOf(ecf.mf, 1, 30)));
  testing::writeFile(dir.file("mf_fevereiro.txt"), testing::joinLines(reductionsOf(ecf.mf, 31, 40)));
  const Outcome o = validar({dir.path().string(), "--json"});
  const json whole = json::parse(o.out);
  const json& group = whole["ecfs"][0];
  ASSERT_TRUE(group.contains("conciliacoes_mf_mfd"));
  EXPECT_EQ(group["conciliacoes_mf_mfd"], json::array());
  const Outcome text = validar({dir.path().string()});
  EXPECT_TRUE(pairLines(text.out).empty()) << text.out;
  EXPECT_TRUE(text.out.ends_with("0 interrompido(s).\n")) << text.out;
}

// Files that fail their structure (record types they have no data for) are still
// paired: the pair says why it could not be reconciled and the batch goes on; with
// --continuar the batch's run, and the pair's, go on to the totals.
TEST(BatchMemoryPairs, APairRefusedSaysWhyAndTheBatchGoesOn) {
  TempDir dir;
  const TwoMonths ecf(true);
  testing::writeFile(dir.file("mf.txt"), testing::joinLines(ecf.mf));
  testing::writeFile(dir.file("mfd.txt"), testing::joinLines(ecf.mfd));
  testing::writeFile(dir.file("tdm.txt"), testing::joinLines(testing::sampleTdmFile()));

  Outcome o = validar({dir.path().string(), "--json"});
  EXPECT_EQ(o.status, 1);
  json whole = json::parse(o.out);
  EXPECT_EQ(whole["arquivos"].size(), 3u);
  json pairs = whole["ecfs"][0]["conciliacoes_mf_mfd"];
  ASSERT_EQ(pairs.size(), 1u) << whole["ecfs"];
  EXPECT_FALSE(pairs[0].contains("conciliacao"));
  EXPECT_NE(pairs[0]["problema"].get<std::string>().find("não passou na verificação de estrutura"), std::string::npos)
      << pairs[0];
  const std::vector<std::string> lines = pairLines(validar({dir.path().string()}).out);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find(": não conciliados: O arquivo "), std::string::npos) << lines[0];

  o = validar({dir.path().string(), "--json", "--continuar"});
  pairs = json::parse(o.out)["ecfs"][0]["conciliacoes_mf_mfd"];
  ASSERT_EQ(pairs.size(), 1u);
  EXPECT_EQ(pairs[0]["conciliacao"]["linhas_fora_da_tolerancia"], 0) << pairs[0];
}

// An MFD whose records after E01 are all of another ECF is none of its E01's ECF:
// left out of the group (its reductions count for no ECF) and its pair refused,
// the first record of the other ECF named, in every form.
TEST(BatchMemoryPairs, AFileWhoseRecordsNameAnotherEcfIsLeftOutAndItsPairRefused) {
  TempDir dir;
  const TwoMonths ecf;
  std::vector<std::string> mfd = ecf.mfd;
  const FieldLayout& serial = layoutOf(14)->field(2);
  for (std::size_t i = 1; i < mfd.size(); ++i)
    if (recordTypeOf(mfd[i]) != kEadType) mfd[i].replace(static_cast<std::size_t>(serial.start - 1), 20, "OUTRA000000000000099");
  testing::writeFile(dir.file("mf.txt"), testing::joinLines(ecf.mf));
  testing::writeFile(dir.file("mfd.txt"), testing::joinLines(mfd));

  const Outcome o = validar({dir.path().string(), "--json"});
  const json group = json::parse(o.out)["ecfs"][0];
  EXPECT_EQ(group["deixados_de_lado"], json::array({dir.file("mfd.txt")})) << group;
  ASSERT_EQ(group["conciliacoes_mf_mfd"].size(), 1u);
  const std::string why = "mfd.txt tem registros de outra ECF: a linha 2 (E02) é da ECF OUTRA000000000000099";
  EXPECT_NE(group["conciliacoes_mf_mfd"][0]["problema"].get<std::string>().find(why), std::string::npos) << group;
  const std::vector<std::string> lines = pairLines(validar({dir.path().string()}).out);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find(why), std::string::npos) << lines[0];
  const Outcome grouped = tavex::testing::runCaptured(runIndicios, {dir.path().string()});
  EXPECT_NE(grouped.out.find("mfd.txt: deixado de lado (a linha 2 (E02) é da ECF OUTRA000000000000099)"), std::string::npos)
      << grouped.out;
}

// Pairs are handed on one by one in the order of their groups, whatever the
// number of them reconciled at once.
TEST(BatchMemoryPairs, PairsAreHandedOnInOrderAsTheyAreReconciled) {
  TempDir dir;
  const TwoMonths ecf;
  for (const char* name : {"mf_a.txt", "mf_b.txt", "mf_c.txt"}) testing::writeFile(dir.file(name), testing::joinLines(ecf.mf));
  for (const char* name : {"mfd_a.txt", "mfd_b.txt"}) testing::writeFile(dir.file(name), testing::joinLines(ecf.mfd));
  std::vector<FileFootprint> files;
  for (const char* name : {"mf_a.txt", "mfd_a.txt", "mf_b.txt", "mfd_b.txt", "mf_c.txt"}) {
    FileFootprint& f = files.emplace_back();
    f.path = dir.file(name);
    f.identified = true;
    f.serial = "S";
    f.kind = std::string(name).starts_with("mfd") ? FileKind::MFD : FileKind::MF;
    f.periodStart = "20120102";
    f.periodEnd = "20120210";
  }
  const std::vector<EcfGroup> groups = groupByEcf(files);
  const std::atomic<bool> going{false};
  for (unsigned jobs : {1u, 3u}) {
    std::vector<std::string> handed;
    streamGroupPairs(groups, files, 0, {}, jobs, going, [&](std::size_t g, BatchPair& pair) {
      EXPECT_TRUE(pair.result.ran) << pair.refusal;
      handed.push_back(std::to_string(g) + " " + files[pair.mf].path + " " + files[pair.mfd].path);
    });
    std::vector<std::string> expected;
    for (const BatchPair& pair : memoryPairsOf(groups[0], files))
      expected.push_back("0 " + files[pair.mf].path + " " + files[pair.mfd].path);
    EXPECT_EQ(handed.size(), 6u);
    EXPECT_EQ(handed, expected) << jobs;
  }
}

// Once the batch is stopped no pair starts, and each says so.
TEST(BatchMemoryPairs, AStoppedBatchReconcilesNoPair) {
  TempDir dir;
  const TwoMonths ecf;
  testing::writeFile(dir.file("mf.txt"), testing::joinLines(ecf.mf));
  testing::writeFile(dir.file("mfd.txt"), testing::joinLines(ecf.mfd));
  std::vector<FileFootprint> files(2);
  for (std::size_t i = 0; i < 2; ++i) {
    files[i].path = dir.file(i == 0 ? "mf.txt" : "mfd.txt");
    files[i].identified = true;
    files[i].serial = "S";
    files[i].kind = i == 0 ? FileKind::MF : FileKind::MFD;
    files[i].periodStart = "20120102";
    files[i].periodEnd = "20120210";
  }
  const std::vector<EcfGroup> groups = groupByEcf(files);
  const std::atomic<bool> stopped{true};
  const auto pairs = reconcileGroupPairs(groups, files, 0, {}, 2, stopped);
  ASSERT_EQ(pairs.size(), 1u);
  ASSERT_EQ(pairs[0].size(), 1u);
  EXPECT_FALSE(pairs[0][0].result.ran);
  EXPECT_NE(cp1252ToUtf8(pairs[0][0].refusal).find("interrompido"), std::string::npos);
  const std::atomic<bool> going{false};
  EXPECT_TRUE(reconcileGroupPairs(groups, files, 0, {}, 2, going)[0][0].result.ran);
}

}  // namespace
}  // namespace tavex::cli
