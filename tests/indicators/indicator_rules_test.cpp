// The indicators on generated files: clean files of every kind give no alert; each
// alert fires once, where the damage is, on a file damaged for it; each kind of
// information on a file made for it.
#include <algorithm>

#include "indicator_fixture.h"

namespace tavex::testing {
namespace {

// Positions (1-based start, width) of the fields the tests change.
constexpr int kE01CrzFim = 122;
constexpr int kE09Cro = 45, kE09Date = 51;
constexpr int kE11Cro = 51, kE11Coo = 57, kE11Gnf = 63, kE11Ccf = 69, kE11Gt = 105;
constexpr int kE12Crz = 47, kE12Cro = 59, kE12Movement = 65, kE12Issue = 73;
constexpr int kE14Ccf = 47, kE14Coo = 53, kE14Date = 59, kE14Cancelled = 123;
constexpr int kE16Coo = 47;
constexpr int kE19Gnf = 53;

int lineOf(std::size_t index) { return static_cast<int>(index) + 1; }

TEST_F(IndicatorTest, ConsistentGeneratedFilesOfEveryKindGiveNoAlert) {
  for (FileKind kind : {FileKind::MF, FileKind::MFD, FileKind::TDM, FileKind::RZ})
    for (std::uint64_t seed : {1, 9}) {
      const IndicatorRun result = run(generated(kind, seed));
      ASSERT_TRUE(result.summary.ran);
      EXPECT_TRUE(alerts(result.indicators).empty()) << static_cast<int>(kind) << " seed " << seed << "\n"
                                                     << describe(result.indicators);
    }
  GeneratorOptions options;
  options.reductions = 6;
  options.withoutUnusedRecords = true;  // as real files: no E04, E10, E19, E20
  options.grandTotals = true;
  const IndicatorRun real = run(generatedLines(options), {}, true);
  ASSERT_TRUE(real.summary.ran);
  EXPECT_TRUE(alerts(real.indicators).empty()) << describe(real.indicators);
}

TEST_F(IndicatorTest, AMissingReductionBreaksTheCrzSequenceOnce) {
  auto lines = generated(FileKind::TDM);
  const std::size_t third = nth(lines, "E12", 2);
  const std::string crz = lines[third].substr(kE12Crz - 1, 6);
  lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(third));
  std::erase_if(lines, [&](const std::string& l) { return l.starts_with("E13") && l.substr(46, 6) == crz; });
  const auto all = indicators(lines);
  const auto hits = withCode(all, "indicio.crz.sequencia");
  ASSERT_EQ(hits.size(), 1u) << describe(all);
  EXPECT_EQ(hits[0].line, lineOf(third));  // the E12 after the gap now stands there
  EXPECT_EQ(hits[0].expected, "3");
  EXPECT_EQ(hits[0].found, "4");
  EXPECT_EQ(hits[0].level, IndicatorLevel::Alerta);
  EXPECT_TRUE(withCode(indicators(generated(FileKind::TDM)), "indicio.crz.sequencia").empty());
  // Its print gone from the detail memory too: still one gap.
  lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(nth(lines, "E16", 2)));
  EXPECT_EQ(withCode(indicators(lines), "indicio.crz.sequencia").size(), 1u);
}

TEST_F(IndicatorTest, TheE01PeriodMustNameTheFirstAndLastReduction) {
  auto lines = generated(FileKind::MF);
  setNumber(lines[0], kE01CrzFim, 6, 7);
  const auto hits = withCode(indicators(lines), "indicio.crz.periodo");
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0].line, 1);
  EXPECT_EQ(hits[0].expected, "6");
  EXPECT_EQ(hits[0].found, "7");
}

TEST_F(IndicatorTest, SwappedMovementDatesGoBackOnce) {
  auto lines = generated(FileKind::TDM);
  std::string& second = lines[nth(lines, "E12", 1)];
  std::string& third = lines[nth(lines, "E12", 2)];
  const std::string a = second.substr(kE12Movement - 1, 8), b = third.substr(kE12Movement - 1, 8);
  second.replace(kE12Movement - 1, 8, b);
  third.replace(kE12Movement - 1, 8, a);
  const auto all = indicators(lines);
  const auto back = withCode(all, "indicio.data.regressiva");
  ASSERT_EQ(back.size(), 1u) << describe(all);
  EXPECT_EQ(back[0].line, lineOf(nth(lines, "E12", 2)));
  EXPECT_EQ(back[0].found, a);
  // The second reduction now says it was issued before its movement day.
  const auto early = withCode(all, "indicio.data.emissao_anterior");
  ASSERT_EQ(early.size(), 1u);
  EXPECT_EQ(early[0].line, lineOf(nth(lines, "E12", 1)));
  EXPECT_EQ(early[0].found, a);
}

TEST_F(IndicatorTest, AnE11CounterBelowTheRecordsIsAnAlert) {
  auto lines = generated(FileKind::TDM);
  std::string& e11 = lines[nth(lines, "E11")];
  const std::int64_t coo = numberAt(e11, kE11Coo, 6);
  setNumber(e11, kE11Coo, 6, coo - 1);
  const auto all = indicators(lines);
  const auto hits = withCode(all, "indicio.contadores.e11");
  ASSERT_EQ(hits.size(), 1u) << describe(all);
  EXPECT_EQ(hits[0].line, lineOf(nth(lines, "E11")));
  EXPECT_EQ(hits[0].expected, std::to_string(coo) + " ou mais");
  EXPECT_EQ(hits[0].found, std::to_string(coo - 1));
  EXPECT_NE(hits[0].sentence.find("COO"), std::string::npos);
}

TEST_F(IndicatorTest, ASkippedCcfIsAnAlertAtTheCouponAfterTheGap) {
  auto lines = generated(FileKind::TDM);
  const std::size_t fifth = nth(lines, "E14", 4);
  const std::int64_t ccf = numberAt(lines[fifth], kE14Ccf, 6);
  for (std::size_t i = fifth; i < lines.size(); ++i)
    if (lines[i].starts_with("E14")) setNumber(lines[i], kE14Ccf, 6, numberAt(lines[i], kE14Ccf, 6) + 1);
  setNumber(lines[nth(lines, "E11")], kE11Ccf, 6, numberAt(lines[nth(lines, "E11")], kE11Ccf, 6) + 1);
  const auto all = indicators(lines);
  const auto hits = withCode(all, "indicio.ccf.sequencia");
  ASSERT_EQ(hits.size(), 1u) << describe(all);
  EXPECT_EQ(hits[0].line, lineOf(fifth));
  EXPECT_EQ(hits[0].expected, std::to_string(ccf));
  EXPECT_EQ(hits[0].found, std::to_string(ccf + 1));
  EXPECT_EQ(hits[0].coo, numberAt(lines[fifth], kE14Coo, 6));
  EXPECT_TRUE(alerts(all).size() == 1) << describe(all);
}

TEST_F(IndicatorTest, AReductionCroWithoutItsE09) {
  auto lines = generated(FileKind::MF);
  const std::size_t third = nth(lines, "E12", 2);
  setNumber(lines[third], kE12Cro, 6, 5);
  const auto all = indicators(lines);
  const auto missing = withCode(all, "indicio.cro.sem_e09");
  ASSERT_EQ(missing.size(), 1u) << describe(all);
  EXPECT_EQ(missing[0].line, lineOf(third));
  EXPECT_EQ(missing[0].crz, 3);
  // Going back to CRO 1 on the next reduction is impossible too.
  const auto back = withCode(all, "indicio.cro.regressivo");
  ASSERT_EQ(back.size(), 1u);
  EXPECT_EQ(back[0].line, lineOf(third) + 1);
}

TEST_F(IndicatorTest, AnInterventionInThePeriodIsInformationWithItsE09Date) {
  GeneratorOptions options;
  options.kind = FileKind::TDM;
  options.reductions = 6;
  options.couponsPerReduction = 8;
  options.interventionAt = 4;
  auto lines = generatedLines(options);
  const auto all = indicators(lines);
  EXPECT_TRUE(alerts(all).empty()) << describe(all);
  const auto hits = withCode(all, "indicio.cro.intervencao");
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0].level, IndicatorLevel::Informacao);
  EXPECT_EQ(hits[0].line, lineOf(nth(lines, "E12", 3)));
  EXPECT_EQ(hits[0].expected, "1");
  EXPECT_EQ(hits[0].found, "2");
  EXPECT_NE(hits[0].sentence.find("05/01/2012"), std::string::npos) << cp1252ToUtf8(hits[0].sentence);

  // The E09 of CRO 2 gone: the reductions' CRO 2 has no record of its restart.
  lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(nth(lines, "E09", 1)));
  const auto missing = withCode(indicators(lines), "indicio.cro.sem_e09");
  ASSERT_EQ(missing.size(), 1u);
  EXPECT_EQ(missing[0].found, "nenhum");
}

TEST_F(IndicatorTest, E09CrosOutOfOrderGoBack) {
  GeneratorOptions options;
  options.kind = FileKind::MF;
  options.reductions = 4;
  options.interventionAt = 3;
  auto lines = generatedLines(options);
  setNumber(lines[nth(lines, "E09", 0)], kE09Cro, 6, 3);
  const auto hits = withCode(indicators(lines), "indicio.cro.regressivo");
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0].line, lineOf(nth(lines, "E09", 1)));
  EXPECT_EQ(hits[0].found, "2");
}

TEST_F(IndicatorTest, AnE11GrandTotalBelowTheRegisteredOne) {
  GeneratorOptions options;
  options.reductions = 4;
  options.couponsPerReduction = 5;
  options.grandTotals = true;
  auto lines = generatedLines(options);
  EXPECT_TRUE(withCode(indicators(lines), "indicio.gt.regressivo").empty());
  setNumber(lines[nth(lines, "E11")], kE11Gt, 18, kRegistrationGt - 1);
  const auto hits = withCode(indicators(lines), "indicio.gt.regressivo");
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0].line, lineOf(nth(lines, "E11")));
  EXPECT_EQ(hits[0].found, std::to_string(kRegistrationGt - 1));
  // Without E04 the E02's GT is the one registered.
  std::erase_if(lines, [](const std::string& l) { return l.starts_with("E04"); });
  const auto fromE02 = withCode(indicators(lines), "indicio.gt.regressivo");
  ASSERT_EQ(fromE02.size(), 1u);
  EXPECT_NE(fromE02[0].sentence.find("o GT do usuário no E02"_cp), std::string::npos) << fromE02[0].sentence;
  lines = generatedLines(options);
  setNumber(lines[nth(lines, "E11")], kE11Gt, 18, kRegistrationGt - 1);
  // E04 GTs in user order fall: a second user registered with a smaller GT.
  std::string second = lines[nth(lines, "E04")];
  second.replace(44, 2, "02");
  setNumber(second, 95, 18, 5);
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(nth(lines, "E04") + 1), second);
  const auto fallen = withCode(indicators(lines), "indicio.gt.regressivo");
  ASSERT_EQ(fallen.size(), 2u);
  EXPECT_EQ(fallen[0].recordType, 4);
}

TEST_F(IndicatorTest, AnE16WithTheCooOfACouponIsARepeatedCoo) {
  auto lines = generated(FileKind::TDM);
  const std::size_t coupon = nth(lines, "E14", 10);
  const std::int64_t coo = numberAt(lines[coupon], kE14Coo, 6);
  const std::size_t print = nth(lines, "E16", 1);  // the Z reduction of the second day, whose coupons these are
  setNumber(lines[print], kE16Coo, 6, coo);
  const auto all = indicators(lines);
  const auto hits = withCode(all, "indicio.coo.repetido");
  ASSERT_EQ(hits.size(), 1u) << describe(all);
  EXPECT_EQ(hits[0].line, lineOf(print));
  EXPECT_EQ(hits[0].coo, coo);
  EXPECT_EQ(hits[0].expected, "COO único"_cp);
  EXPECT_NE(hits[0].sentence.find(cformat("linha %d", lineOf(coupon))), std::string::npos);
  EXPECT_TRUE(withCode(all, "indicio.coo.regressivo").empty());
  // The reduction's own print, with its E12's COO, is no repeat.
  EXPECT_TRUE(withCode(indicators(generated(FileKind::TDM)), "indicio.coo.repetido").empty());
}

TEST_F(IndicatorTest, ACooThatGoesBackWithinOneRecordType) {
  auto lines = generated(FileKind::MFD);
  const std::size_t fourth = nth(lines, "E14", 3);
  setNumber(lines[fourth], kE14Coo, 6, numberAt(lines[nth(lines, "E14", 2)], kE14Coo, 6));
  const auto all = indicators(lines);
  const auto hits = withCode(all, "indicio.coo.regressivo");
  ASSERT_EQ(hits.size(), 1u) << describe(all);
  EXPECT_EQ(hits[0].line, lineOf(fourth));
  EXPECT_TRUE(withCode(all, "indicio.coo.repetido").empty());  // one fault, one alert
}

TEST_F(IndicatorTest, ASkippedGnfIsAnAlert) {
  auto lines = generated(FileKind::TDM);
  const std::size_t third = nth(lines, "E19", 2);
  const std::int64_t gnf = numberAt(lines[third], kE19Gnf, 6);
  for (std::size_t i = third; i < lines.size(); ++i)
    if (lines[i].starts_with("E19")) setNumber(lines[i], kE19Gnf, 6, numberAt(lines[i], kE19Gnf, 6) + 1);
  setNumber(lines[nth(lines, "E11")], kE11Gnf, 6, gnf + 10);
  const auto hits = withCode(indicators(lines), "indicio.gnf.sequencia");
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0].line, lineOf(third));
  EXPECT_EQ(hits[0].expected, std::to_string(gnf));
  EXPECT_EQ(hits[0].found, std::to_string(gnf + 1));
}

TEST_F(IndicatorTest, GnfRunsOverE16AndE19InCooOrder) {
  // The first day's E16 becomes a non-fiscal "CN" with the next GNF: it lies between
  // the first two E19 by COO, though every E16 comes before every E19 in the file.
  auto lines = generated(FileKind::TDM);
  std::string& print = lines[nth(lines, "E16", 0)];
  print.replace(74, 2, "CN");
  setNumber(print, 53, 6, 2);
  for (std::size_t k = 1; k < 6; ++k) setNumber(lines[nth(lines, "E19", k)], kE19Gnf, 6, static_cast<std::int64_t>(k) + 2);
  setNumber(lines[nth(lines, "E11")], kE11Gnf, 6, 7);
  auto all = indicators(lines);
  EXPECT_TRUE(withCode(all, "indicio.gnf.sequencia").empty()) << describe(all);

  // The second E19 unreadable: the E16 and the third E19 around the gap are compared
  // with nothing, not with each other.
  auto gap = lines;
  gap[nth(gap, "E19", 1)].replace(kE19Gnf - 1, 6, "      ");
  all = indicators(gap);
  EXPECT_TRUE(withCode(all, "indicio.gnf.sequencia").empty()) << describe(all);

  // The E16's GNF wrong: the sequence breaks at it and again after it.
  setNumber(lines[nth(lines, "E16", 0)], 53, 6, 9);
  all = indicators(lines);
  const auto hits = withCode(all, "indicio.gnf.sequencia");
  ASSERT_EQ(hits.size(), 2u) << describe(all);
  EXPECT_EQ(hits[0].recordType, 16);
  EXPECT_EQ(hits[1].recordType, 19);
}

TEST_F(IndicatorTest, ReductionDatesAgainstTheirIssue) {
  auto lines = generated(FileKind::MF);
  std::string& second = lines[nth(lines, "E12", 1)];
  second.replace(kE12Issue - 1, 8, "20120110");  // movement 03/01, issued a week later
  std::string& fourth = lines[nth(lines, "E12", 3)];
  fourth.replace(kE12Issue - 1, 8, "20111231");  // issued before its movement
  const auto all = indicators(lines);
  const auto late = withCode(all, "indicio.data.reducao_tardia");
  ASSERT_EQ(late.size(), 1u) << describe(all);
  EXPECT_EQ(late[0].level, IndicatorLevel::Informacao);
  EXPECT_EQ(late[0].expected, "20120103");
  EXPECT_EQ(late[0].found, "20120110");
  const auto early = withCode(all, "indicio.data.emissao_anterior");
  ASSERT_EQ(early.size(), 1u);
  EXPECT_EQ(early[0].line, lineOf(nth(lines, "E12", 3)));
  EXPECT_EQ(early[0].found, "20111231");
}

TEST_F(IndicatorTest, DocumentsDatedOffTheirReductionDay) {
  auto lines = generated(FileKind::TDM);
  const std::size_t coupon = nth(lines, "E14", 3);  // a coupon of the first day, before its late reduction
  lines[coupon].replace(kE14Date - 1, 8, "20120103");
  // The Z reduction's print is dated by its E12's issue, not its movement.
  std::string& firstE12 = lines[nth(lines, "E12", 0)];
  firstE12.replace(kE12Issue - 1, 8, "20120103");
  const auto all = indicators(lines);
  const auto off = withCode(all, "indicio.documento.fora_do_dia");
  ASSERT_EQ(off.size(), 2u) << describe(all);
  EXPECT_EQ(off[0].line, lineOf(coupon));
  EXPECT_EQ(off[0].expected, "20120102");
  EXPECT_EQ(off[0].found, "20120103");
  EXPECT_EQ(off[0].crz, 1);
  EXPECT_EQ(off[1].line, lineOf(nth(lines, "E16", 0)));
  EXPECT_EQ(off[1].expected, "20120103");
  EXPECT_EQ(off[1].found, "20120102");
}

TEST_F(IndicatorTest, ManyCancelledCouponsInOneReduction) {
  auto lines = generated(FileKind::TDM);
  for (std::size_t k = 0; k < 8; ++k) lines[nth(lines, "E14", k)][kE14Cancelled - 1] = k < 5 ? 'S' : 'N';
  IndicatorSettings settings;
  settings.cancellationLimitHundredths = 5000;
  const auto all = indicators(lines, settings);
  const auto hits = withCode(all, "indicio.cancelamentos");
  ASSERT_EQ(hits.size(), 1u) << describe(all);
  EXPECT_EQ(hits[0].line, lineOf(nth(lines, "E12", 0)));
  EXPECT_EQ(hits[0].found, "62,50 %");
  EXPECT_EQ(hits[0].expected, "até 50,00 %"_cp);
  settings.cancellationLimitHundredths = 6250;  // at the limit is not above it
  EXPECT_TRUE(withCode(indicators(lines, settings), "indicio.cancelamentos").empty());
}

TEST_F(IndicatorTest, EveryCodeOfTheTableIsUsedOnceWithItsLevel) {
  const auto& codes = indicatorCodes();
  EXPECT_EQ(codes.size(), 24u);  // 20 of one file, 4 of an ECF's files
  for (std::size_t i = 0; i < codes.size(); ++i)
    for (std::size_t j = i + 1; j < codes.size(); ++j) EXPECT_NE(codes[i].code, codes[j].code);
  EXPECT_EQ(indicatorLevelOf("indicio.cancelamentos"), IndicatorLevel::Informacao);
  EXPECT_EQ(indicatorLevelOf("indicio.coo.repetido"), IndicatorLevel::Alerta);
  EXPECT_EQ(indicatorLevelOf("indicio.arquivos.sobreposicao"), IndicatorLevel::Informacao);
  EXPECT_EQ(indicatorLevelOf("indicio.arquivos.lacuna"), IndicatorLevel::Alerta);
}

TEST_F(IndicatorTest, PercentLimitsAsTyped) {
  EXPECT_EQ(percentHundredthsFromText("10"), 1000);
  EXPECT_EQ(percentHundredthsFromText("12,5"), 1250);
  EXPECT_EQ(percentHundredthsFromText("7.25"), 725);
  EXPECT_EQ(percentHundredthsFromText("0"), 0);
  EXPECT_EQ(percentHundredthsFromText("100"), 10000);
  for (const char* bad : {"", "101", "1,234", "-1", "abc", ",5", "1,2,3"})
    EXPECT_EQ(percentHundredthsFromText(bad), -1) << bad;
}

}  // namespace
}  // namespace tavex::testing
