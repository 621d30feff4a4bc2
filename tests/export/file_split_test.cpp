#include "export/file_split.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <numeric>

#include "cotepe/text.h"
#include "export_fixture.h"
#include "support/resource_limits.h"

namespace tavex {
namespace {

namespace fs = std::filesystem;
using namespace testing;

// (Overrides hold views: the numbers' texts must outlive the record's making.)
std::string e12(int crz, int coo, const std::string& day) {
  const std::string z = std::to_string(crz), c = std::to_string(coo);
  return sampleRecord(12, {{"CRZ", z}, {"COO", c}, {"DATA_MOVIMENTO", day}});
}
std::string withCoo(int type, int coo, const Overrides& more = {}) {
  const std::string c = std::to_string(coo);
  Overrides o = {{"COO", c}};
  o.insert(o.end(), more.begin(), more.end());
  return sampleRecord(type, o);
}
std::string withCrz(int type, int crz) {
  const std::string z = std::to_string(crz);
  return sampleRecord(type, {{"CRZ", z}});
}

// A TDM file with reductions 1 (COO 1..10), 2 (11..20) and 3 (21..30).
std::vector<std::string> tdmLines() {
  std::vector<std::string> lines = {sampleE01("TDM"), sampleE02()};
  for (int type = 3; type <= 11; ++type) lines.push_back(sampleRecord(type));
  lines.push_back(e12(1, 10, "20121001"));
  lines.push_back(e12(2, 20, "20121002"));
  lines.push_back(e12(3, 30, "20121003"));
  lines.push_back(withCrz(13, 1));
  lines.push_back(withCrz(13, 3));
  lines.push_back(withCrz(13, 9));  // no such reduction: dropped
  lines.push_back(withCoo(14, 5));
  lines.push_back(withCoo(14, 10));  // the reduction document itself: in no file
  lines.push_back(withCoo(14, 11));
  lines.push_back(withCoo(15, 15));
  lines.push_back("");
  lines.push_back(withCoo(16, 20, {{"DENOMINACAO", "RZ"}, {"CRZ", "2"}}));  // lands in its own reduction
  lines.push_back(withCoo(16, 25, {{"DENOMINACAO", "LX"}}));
  lines.push_back(withCrz(17, 2));
  lines.push_back(withCrz(18, 3));
  lines.push_back(withCoo(19, 29));
  lines.push_back(withCoo(20, 29));
  lines.push_back(withCoo(21, 31));  // after the last reduction: dropped
  lines.push_back(sampleEad());
  return lines;
}

TEST(FileSplit, OutputNamesCutTheExtensionOfTheFileNameOnly) {
  EXPECT_EQ(splitOutputPath("/d/dados.txt", 7), "/d/dados_0007.txt");
  EXPECT_EQ(splitOutputPath("/d.x/dados", 4999), "/d.x/dados_4999.txt");
  EXPECT_EQ(splitOutputPath("a.b.txt", 12), "a.b_0012.txt");
}

TEST(FileSplit, TdmFileGivesOneFileperReductionMatchingTheGolden) {
  TempDir dir;
  writeFile(dir.file("dados.txt"), joinLines(tdmLines(), "\n"));
  DirectWorkerControl control;
  EXPECT_EQ(splitWorker(dir.file("dados.txt"), control), kSplitDone);
  EXPECT_TRUE(control.notices.empty());
  EXPECT_FALSE(hasTemporaryFile(dir.path()));
  fs::remove(dir.path() / "dados.txt");
  const std::string listing = folderListing(dir.path());
  expectMatchesGolden(listing, "export/golden/split_tdm.txt");
  // Each output begins with E01 naming its reduction and date, then E02..E11.
  const std::string first = readFile(dir.file("dados_0002.txt"));
  const std::string e01 = first.substr(0, first.find("\r\n"));
  EXPECT_EQ(e01.size(), 166u);
  EXPECT_EQ(e01.substr(115, 28), "000002000002" "20121002" "20121002");
  EXPECT_EQ(e01.substr(0, 115), sampleE01("TDM").substr(0, 115));
  EXPECT_EQ(e01.substr(143), sampleE01("TDM").substr(143));
  EXPECT_EQ(first.substr(e01.size() + 2, 274), sampleE02() + "\r\n");
}

TEST(FileSplit, MfdFileFindsReductionsAndDatesBeforehandEvenAfterABlankFirstLine) {
  TempDir dir;
  const std::vector<std::string> lines = {
      "",  // a blank first line
      sampleE01("MFD"),
      sampleE02(),
      withCoo(14, 3, {{"DATA_INICIO", "20121001"}}),
      withCoo(15, 3),
      withCoo(14, 4, {{"DATA_INICIO", "20121031"}}),
      withCoo(16, 5, {{"DENOMINACAO", "RZ"}, {"CRZ", "1"}}),
      withCoo(16, 7, {{"DENOMINACAO", "LX"}, {"DATA_FINAL", "20121002"}}),
      withCoo(16, 8, {{"DENOMINACAO", "RZ"}, {"CRZ", "2"}}),
      withCoo(16, 12, {{"DENOMINACAO", "RZ"}, {"CRZ", "3"}}),
      withCoo(21, 11),
      sampleEad(),
  };
  writeFile(dir.file("mfd.txt"), joinLines(lines));
  DirectWorkerControl control;
  ASSERT_EQ(splitWorker(dir.file("mfd.txt"), control), kSplitDone);
  auto e01Of = [&](int z) {
    const std::string text = readFile(splitOutputPath(dir.file("mfd.txt"), z));
    return text.substr(0, text.find("\r\n"));
  };
  EXPECT_EQ(e01Of(1).substr(115, 28), "000001000001" "20121001" "20121001");  // first E14 in range
  EXPECT_EQ(e01Of(2).substr(115, 28), "000002000002" "20121002" "20121002");  // its LX reading
  EXPECT_EQ(e01Of(3).substr(115, 28), "000003000003" + std::string(16, ' '));  // none
  fs::remove(dir.path() / "mfd.txt");
  expectMatchesGolden(folderListing(dir.path()), "export/golden/split_mfd.txt");
}

TEST(FileSplit, RepeatedCrzKeepsItsFileAndHugeLinesStayWhole) {
  TempDir dir;
  const std::string huge = withCoo(15, 5) + std::string(100000, 'Z');
  writeFile(dir.file("r.txt"), joinLines({sampleE01("TDM"), sampleE02(), e12(1, 10, "20121001"), withCoo(14, 5),
                                          e12(1, 10, "20121001"), huge}));
  DirectWorkerControl control;
  ASSERT_EQ(splitWorker(dir.file("r.txt"), control), kSplitDone);
  EXPECT_EQ(readFile(dir.file("r_0001.txt")),
            joinLines({sampleE01("TDM", {{"CRZ_INI", "1"}, {"CRZ_FIM", "1"}, {"DATA_INI", "20121001"},
                                         {"DATA_FIM", "20121001"}}),
                       sampleE02(), e12(1, 10, "20121001"), withCoo(14, 5), e12(1, 10, "20121001"), huge}));
}

TEST(FileSplit, MfFileIsRefusedWithoutLeavingFiles) {
  TempDir dir;
  writeFile(dir.file("mf.txt"), joinLines(sampleMfFile()));
  DirectWorkerControl control;
  EXPECT_EQ(splitWorker(dir.file("mf.txt"), control), kSplitRefusedMf);
  ASSERT_EQ(control.notices.size(), 1u);
  EXPECT_EQ(control.notices[0].text,
            "O arquivo selecionado é um Ato/COTEPE 17/04 da MF. Não é possível separar este tipo de arquivo."_cp);
  EXPECT_EQ(control.notices[0].title, "Erro!");
  EXPECT_EQ(folderListing(dir.path()), "### mf.txt\n" + readFile(dir.file("mf.txt")));
}

// A record of an unknown type refuses the whole file: the split takes back the
// outputs it made (one replaced within the split among them) and leaves the files
// that were there before.
TEST(FileSplit, UnknownRecordRefusesTheFileLeavingOnlyWhatWasThereBefore) {
  const std::vector<std::vector<std::string>> before = {{}, {"u_0002.txt"}};
  for (const std::vector<std::string>& names : before) {
    TempDir dir;
    for (const std::string& name : names) writeFile(dir.file(name), "anterior");
    writeFile(dir.file("u.txt"), joinLines({sampleE01("TDM"), sampleE02(), e12(1, 10, "20121001"),
                                            e12(2, 20, "20121002"), e12(1, 10, "20121001"), withCoo(14, 5),
                                            withCoo(14, 15), "E22 desconhecido", withCoo(14, 6)}));
    const std::string input = readFile(dir.file("u.txt"));
    DirectWorkerControl control;
    EXPECT_EQ(splitWorker(dir.file("u.txt"), control), kSplitUnknownRecord);
    std::string expected = "### u.txt\n" + input;
    for (const std::string& name : names) expected += "### " + name + "\nanterior";
    EXPECT_EQ(folderListing(dir.path()), expected) << names.size();
  }
}

TEST(FileSplit, CancellationLeavesWholeLinesAndNoTemporaryFile) {
  TempDir dir;
  std::vector<std::string> lines = {sampleE01("TDM"), sampleE02(), e12(1, 1000, "20121001")};
  for (int i = 1; i <= 40; ++i) lines.push_back(withCoo(15, i));
  writeFile(dir.file("c.txt"), joinLines(lines));
  CancelAtCheck control(14);  // stops before line 14: ten E15 are in
  EXPECT_EQ(splitWorker(dir.file("c.txt"), control), kConversionCancelled);
  EXPECT_FALSE(hasTemporaryFile(dir.path()));
  const std::string out = readFile(dir.file("c_0001.txt"));
  EXPECT_TRUE(allLinesWhole(out));
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 2 + 1 + 10);
}

// Removes the split's temporary file at the `at`-th cancellation check (before
// line `at`) and never cancels.
class RemoveTemporaryFileAtCheck : public DirectWorkerControl {
 public:
  RemoveTemporaryFileAtCheck(fs::path folder, int at) : folder_(std::move(folder)), at_(at) {}
  bool cancelRequested() const override {
    if (++checks_ == at_)
      for (const auto& e : fs::directory_iterator(folder_))
        if (e.path().filename().string().starts_with("ctp_file")) fs::remove(e.path());
    return false;
  }

 private:
  fs::path folder_;
  int at_;
  mutable int checks_ = 0;
};

TEST(FileSplit, MissingTemporaryFileGivesOutputsWithTheirE01Only) {
  TempDir dir;
  writeFile(dir.file("t.txt"), joinLines({sampleE01("TDM"), sampleE02(), e12(1, 10, "20121001"), withCoo(14, 5)}));
  RemoveTemporaryFileAtCheck control(dir.path(), 3);  // gone before the E12 is read
  ASSERT_EQ(splitWorker(dir.file("t.txt"), control), kSplitDone);
  ASSERT_EQ(control.notices.size(), 1u);
  EXPECT_EQ(control.notices[0].text, "Erro, nao abriu arquivo temporário."_cp);
  EXPECT_EQ(control.notices[0].title, "Erro!");
  EXPECT_EQ(readFile(dir.file("t_0001.txt")),
            joinLines({sampleE01("TDM", {{"CRZ_INI", "1"}, {"CRZ_FIM", "1"}, {"DATA_INI", "20121001"},
                                         {"DATA_FIM", "20121001"}}),
                       e12(1, 10, "20121001"), withCoo(14, 5)}));
}

TEST(FileSplit, BadPathsGiveTheirStatuses) {
  TempDir dir;
  DirectWorkerControl control;
  EXPECT_EQ(splitWorker(dir.file("nao-existe.txt"), control), kSplitInputMissing);
  EXPECT_EQ(splitWorker("/" + std::string(1030, 'a'), control), kSplitPathTooLong);
  // A folder where nobody, root included, can create a file: no temporary file.
  EXPECT_EQ(splitWorker("/proc/self/status", control), kSplitCannotWrite);
}

TEST(FileSplit, ManyReductionsKeepTheirOwnRecords) {
  // 3000 reductions of three documents each, records grouped by type as in a real
  // file: every output holds exactly its reduction's documents.
  TempDir dir;
  std::vector<std::string> lines = {sampleE01("TDM"), sampleE02()};
  const int n = 3000;
  for (int z = 1; z <= n; ++z) lines.push_back(e12(z, 4 * z, "20121001"));
  for (int z = 1; z <= n; ++z) lines.push_back(withCrz(13, z));
  for (int coo = 1; coo <= 4 * n; ++coo) lines.push_back(withCoo(21, coo));
  writeFile(dir.file("m.txt"), joinLines(lines));
  DirectWorkerControl control;
  ASSERT_EQ(splitWorker(dir.file("m.txt"), control), kSplitDone);
  for (int z : {1, 1500, 1501, 2999, 3000}) {
    const std::string out = readFile(splitOutputPath(dir.file("m.txt"), z));
    std::string expected;
    for (int coo = 4 * z - 3; coo < 4 * z; ++coo) expected += withCoo(21, coo) + "\r\n";
    ASSERT_GE(out.size(), expected.size());
    EXPECT_EQ(out.substr(out.size() - expected.size()), expected) << z;
    EXPECT_NE(out.find(withCrz(13, z)), std::string::npos);
  }
}

TEST(FileSplit, InterleavedReductionsKeepTheirLinesInFileOrderAcrossWrites) {
  // Two reductions whose documents alternate, with lines big enough that the
  // gathered text is written in several rounds: each output holds its own lines,
  // in file order, the later rounds appended.
  TempDir dir;
  std::vector<std::string> lines = {sampleE01("TDM"), sampleE02(), e12(1, 100, "20121001"), e12(2, 200, "20121002")};
  std::vector<std::string> first, second;
  for (int i = 0; i < 24; ++i) {
    const int coo = i % 2 == 0 ? 1 + i : 101 + i;
    lines.push_back(withCoo(15, coo) + std::string(1u << 20, static_cast<char>('a' + i)));
    (i % 2 == 0 ? first : second).push_back(lines.back());
  }
  writeFile(dir.file("i.txt"), joinLines(lines));
  DirectWorkerControl control;
  ASSERT_EQ(splitWorker(dir.file("i.txt"), control), kSplitDone);
  const std::string out1 = readFile(dir.file("i_0001.txt"));
  const std::string out2 = readFile(dir.file("i_0002.txt"));
  first.insert(first.begin(), e12(1, 100, "20121001"));
  second.insert(second.begin(), e12(2, 200, "20121002"));
  const std::string tail1 = joinLines(first), tail2 = joinLines(second);
  ASSERT_GE(out1.size(), tail1.size());
  ASSERT_GE(out2.size(), tail2.size());
  EXPECT_TRUE(out1.ends_with(tail1));
  EXPECT_TRUE(out2.ends_with(tail2));
  EXPECT_EQ(out1.size() - tail1.size(), out2.size() - tail2.size());  // the same header lines
}

TEST(FileSplit, ASecondSplitReplacesLongerEarlierOutputs) {
  TempDir dir;
  writeFile(dir.file("s.txt"), joinLines({sampleE01("TDM"), sampleE02(), e12(1, 10, "20121001"), withCoo(14, 5),
                                          withCoo(14, 6) + std::string(5000, 'X')}));
  DirectWorkerControl control;
  ASSERT_EQ(splitWorker(dir.file("s.txt"), control), kSplitDone);
  const std::string longer = readFile(dir.file("s_0001.txt"));
  writeFile(dir.file("s.txt"), joinLines({sampleE01("TDM"), sampleE02(), e12(1, 10, "20121001"), withCoo(14, 5)}));
  ASSERT_EQ(splitWorker(dir.file("s.txt"), control), kSplitDone);
  const std::string shorter = readFile(dir.file("s_0001.txt"));
  EXPECT_LT(shorter.size(), longer.size());
  EXPECT_EQ(shorter, longer.substr(0, shorter.size()));
  EXPECT_TRUE(shorter.ends_with(joinLines({e12(1, 10, "20121001"), withCoo(14, 5)})));
}

TEST(FileSplit, AReductionClosedAfterLookupsReachesItsFarCoos) {
  // Documents looked up before a later reduction ends far beyond the COOs seen so
  // far: that reduction's documents still find it; COOs past every end are dropped.
  TempDir dir;
  writeFile(dir.file("f.txt"), joinLines({sampleE01("TDM"), sampleE02(), e12(1, 10, "20121001"), withCoo(14, 5),
                                          e12(2, 500000, "20121002"), withCoo(14, 250000), withCoo(21, 499999),
                                          withCoo(21, 500000), withCoo(21, 900000)}));
  DirectWorkerControl control;
  ASSERT_EQ(splitWorker(dir.file("f.txt"), control), kSplitDone);
  const std::string out1 = readFile(dir.file("f_0001.txt"));
  const std::string out2 = readFile(dir.file("f_0002.txt"));
  EXPECT_TRUE(out1.ends_with(joinLines({e12(1, 10, "20121001"), withCoo(14, 5)})));
  EXPECT_TRUE(out2.ends_with(joinLines({e12(2, 500000, "20121002"), withCoo(14, 250000), withCoo(21, 499999)})));
  EXPECT_EQ(out2.find(withCoo(21, 500000)), std::string::npos);
  EXPECT_EQ(out2.find(withCoo(21, 900000)), std::string::npos);
}

TEST(FileSplit, EveryOutputLineEndsInCrLfWhateverItsEndInTheInput) {
  // LF alone, CR LF, a CR before the CR LF, a last line ending in CR: each output
  // line is the record and CR LF, in file order whichever way it was copied.
  TempDir dir;
  writeFile(dir.file("l.txt"), sampleE01("TDM") + "\r\n" + sampleE02() + "\n" + e12(1, 10, "20121001") + "\n" +
                                   withCoo(14, 5) + "\r\n" + withCoo(15, 5) + "\n" + withCoo(15, 6) + "\r\r\n" +
                                   withCoo(19, 6) + "\r\n" + withCoo(21, 7) + "\r");
  DirectWorkerControl control;
  ASSERT_EQ(splitWorker(dir.file("l.txt"), control), kSplitDone);
  EXPECT_EQ(readFile(dir.file("l_0001.txt")),
            joinLines({sampleE01("TDM", {{"CRZ_INI", "1"}, {"CRZ_FIM", "1"}, {"DATA_INI", "20121001"},
                                         {"DATA_FIM", "20121001"}}),
                       sampleE02(), e12(1, 10, "20121001"), withCoo(14, 5), withCoo(15, 5), withCoo(15, 6) + "\r",
                       withCoo(19, 6), withCoo(21, 7)}));
}

TEST(FileSplit, ALineLongerThanTheReadBlockStaysWholeAfterTheLinesGatheredBeforeIt) {
  TempDir dir;
  const std::string huge = withCoo(15, 6) + std::string(17u << 20, 'H');
  writeFile(dir.file("h.txt"), joinLines({sampleE01("TDM"), sampleE02(), e12(1, 10, "20121001"),
                                          e12(2, 20, "20121002"), withCoo(14, 5), withCoo(14, 15), huge,
                                          withCoo(21, 7), withCoo(21, 16)}));
  DirectWorkerControl control;
  ASSERT_EQ(splitWorker(dir.file("h.txt"), control), kSplitDone);
  EXPECT_TRUE(readFile(dir.file("h_0001.txt"))
                  .ends_with(joinLines({e12(1, 10, "20121001"), withCoo(14, 5), huge, withCoo(21, 7)})));
  EXPECT_TRUE(readFile(dir.file("h_0002.txt"))
                  .ends_with(joinLines({e12(2, 20, "20121002"), withCoo(14, 15), withCoo(21, 16)})));
}

// Keeps every progress report.
class ProgressLog : public DirectWorkerControl {
 public:
  void setProgress(int percent) override { reports.push_back(percent); }
  std::vector<int> reports;
};

TEST(FileSplit, ProgressGoesPercentByPercentFromZeroToAHundred) {
  TempDir dir;
  std::vector<std::string> lines = {sampleE01("TDM"), sampleE02(), e12(1, 5000, "20121001")};
  for (int coo = 1; coo <= 2000; ++coo) lines.push_back(withCoo(15, coo));
  writeFile(dir.file("p.txt"), joinLines(lines));
  ProgressLog control;
  ASSERT_EQ(splitWorker(dir.file("p.txt"), control), kSplitDone);
  // Never back: every percent in turn (0 comes first, when the input is opened).
  EXPECT_TRUE(std::is_sorted(control.reports.begin(), control.reports.end()));
  control.reports.erase(std::unique(control.reports.begin(), control.reports.end()), control.reports.end());
  std::vector<int> expected(101);
  std::iota(expected.begin(), expected.end(), 0);
  EXPECT_EQ(control.reports, expected);
}

class SplitCommand : public ::testing::Test {
 protected:
  void SetUp() override { ui.progressHandler = runJobToEnd(); }
  ShownMessage runOn(const std::string& path) {
    ui.answer(path);
    splitCotepeFile(ui, s.session);
    return ui.messages.empty() ? ShownMessage{} : ui.messages.back();
  }
  TempDir dir;
  ScriptedUserInterface ui;
  SessionFixture s;
};

TEST_F(SplitCommand, EveryStatusShowsItsMessage) {
  writeFile(dir.file("ok.txt"), joinLines(tdmLines()));
  EXPECT_EQ(runOn(dir.file("ok.txt")), (ShownMessage{"Processo finalizado!", "Alerta!", Icon::Information}));
  EXPECT_EQ(runOn("/" + std::string(1100, 'x')), (ShownMessage{"Caminho de arquivo muito longo!", "Erro!", Icon::Error}));
  EXPECT_EQ(runOn(dir.file("nada.txt")), (ShownMessage{"Arquivo não encontrado!"_cp, "Erro!", Icon::Error}));
  EXPECT_EQ(runOn("/proc/self/status"),
            (ShownMessage{"Sem permissão para gravação no diretório selecionado!\nMotivo: o caminho não existe."_cp,
                          "Erro!", Icon::Error}));
  writeFile(dir.file("e22.txt"), joinLines({sampleE01("TDM"), "E22"}));
  EXPECT_EQ(runOn(dir.file("e22.txt")),
            (ShownMessage{"Arquivo contem registros não conhecidos! Processo encerrado de maneira anormal!"_cp, "Erro!",
                          Icon::Error}));
}

TEST_F(SplitCommand, AFullDiskIsNotBlamedOnPermissions) {
  std::vector<std::string> lines = {sampleE01("TDM"), sampleE02(), e12(1, 5000, "20121001")};
  for (int coo = 1; coo < 3000; ++coo) lines.push_back(withCoo(14, coo));
  writeFile(dir.file("t.txt"), joinLines(lines));
  ShownMessage shown;
  {
    const FileSizeLimit limit(100000);
    shown = runOn(dir.file("t.txt"));
  }
  EXPECT_EQ(shown, (ShownMessage{"Não foi possível gravar os arquivos separados no diretório selecionado!\n"
                                 "Motivo: o arquivo passou do tamanho máximo permitido."_cp,
                                 "Erro!", Icon::Error}));
  EXPECT_FALSE(fs::exists(dir.file("t_0001.txt")));
}

// An MF file is refused, an RZ file holds no reduction to cut: either way the user
// is told so, and never "Processo finalizado!" as if files had been written.
TEST_F(SplitCommand, AFileWithoutReductionsIsToldSoAndNeverFinished) {
  writeFile(dir.file("mf.txt"), joinLines(sampleMfFile()));
  runOn(dir.file("mf.txt"));
  EXPECT_EQ(ui.messages,
            (std::vector<ShownMessage>{{"O arquivo selecionado é um Ato/COTEPE 17/04 da MF. Não é possível separar "
                                        "este tipo de arquivo."_cp,
                                        "Erro!", Icon::Error}}));
  EXPECT_EQ(s.job.status(), kSplitRefusedMf);
  ui.messages.clear();
  writeFile(dir.file("rz.txt"), joinLines({sampleE01("RZ "), sampleE02(), withCoo(14, 5), sampleEad()}));
  runOn(dir.file("rz.txt"));
  EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{{"Nenhuma redução Z foi encontrada no arquivo. Nenhum arquivo foi "
                                                     "gerado."_cp,
                                                     "Aviso!", Icon::Warning}}));
  EXPECT_FALSE(fs::exists(dir.file("rz_0001.txt")));
  EXPECT_FALSE(hasTemporaryFile(dir.path()));
}

TEST_F(SplitCommand, CancelledChooserSaysNothing) {
  EXPECT_EQ(splitCotepeFile(ui, s.session), std::nullopt);
  EXPECT_TRUE(ui.messages.empty());
  ASSERT_EQ(ui.openRequests.size(), 1u);
  EXPECT_EQ(ui.openRequests[0].initialName, "Arquivo TXT Formatado");
}

}  // namespace
}  // namespace tavex
