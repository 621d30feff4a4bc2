// Indicators on bad and partial input: damaged fields are skipped, never alerts;
// short files, files without reductions and of no kind give what applies; the
// validation's log is the same with the indicators as without them.
#include "indicator_fixture.h"
#include "support/files.h"

namespace tavex::testing {
namespace {

struct Damage {
  const char* type;
  std::size_t nth;
  int start, width;
  const char* text;
};

TEST_F(IndicatorTest, BadFieldsAreSkippedNeverAlerted) {
  // Blank, non-numeric and out-of-range values in every field the indicators read.
  const Damage damages[] = {
      {"E01", 0, 116, 6, "ABCDEF"}, {"E01", 0, 122, 6, "      "}, {"E02", 0, 253, 18, "X"},
      {"E04", 0, 95, 18, "-"},      {"E09", 0, 45, 6, "      "},  {"E09", 0, 51, 8, "20121399"},
      {"E11", 0, 57, 6, "00001A"},  {"E11", 0, 105, 18, " "},     {"E12", 0, 47, 6, "      "},
      {"E12", 2, 47, 6, "9X9999"},  {"E12", 5, 53, 6, "      "},  {"E12", 1, 59, 6, "?"},
      {"E12", 3, 65, 8, "20129999"}, {"E12", 4, 73, 8, "2012010 "}, {"E14", 3, 47, 6, "      "},
      {"E14", 4, 53, 6, "-00001"},  {"E14", 5, 59, 8, "00000000"}, {"E16", 1, 47, 6, "ZZZZZZ"},
      {"E16", 2, 69, 6, "      "},  {"E16", 3, 77, 8, "99999999"}, {"E19", 1, 53, 6, "      "},
      {"E19", 2, 47, 6, "1 2 3 "},
  };
  const auto clean = generated(FileKind::TDM);
  for (const Damage& d : damages) {
    auto lines = clean;
    std::string& line = lines[nth(lines, d.type, d.nth)];
    std::string text = std::string(d.text);
    text.resize(static_cast<std::size_t>(d.width), text.size() == 1 ? text[0] : ' ');
    line.replace(static_cast<std::size_t>(d.start - 1), static_cast<std::size_t>(d.width), text);
    const IndicatorRun result = run(lines);
    ASSERT_TRUE(result.summary.ran) << d.type << " " << d.start;
    EXPECT_GT(result.summary.errors, 0) << d.type << " " << d.start << ": the damage must fail a format check";
    EXPECT_TRUE(alerts(result.indicators).empty()) << d.type << " " << d.start << "\n" << describe(result.indicators);
  }
  // A record of the wrong length is skipped too.
  auto lines = clean;
  lines[nth(lines, "E14", 2)].pop_back();
  EXPECT_TRUE(alerts(indicators(lines)).empty());
}

TEST_F(IndicatorTest, PartialAndUnusualFilesGiveWhatApplies) {
  // Cut short after some coupons: no EAD, the structure fails, the counters still hold.
  auto lines = generated(FileKind::TDM);
  lines.resize(nth(lines, "E15", 12));
  IndicatorRun result = run(lines);
  ASSERT_TRUE(result.summary.ran);
  EXPECT_TRUE(alerts(result.indicators).empty()) << describe(result.indicators);

  // MFD: its E16 "RZ" stand for the reductions (cancellations per day are shown);
  // the document rules still see a COO going back.
  lines = generated(FileKind::MFD);
  EXPECT_TRUE(alerts(indicators(lines)).empty()) << describe(indicators(lines));
  std::string& coupon = lines[nth(lines, "E14", 2)];
  coupon.replace(52, 6, "000001");
  EXPECT_EQ(withCode(indicators(lines), "indicio.coo.regressivo").size(), 1u);

  // A file of no kind and a file of E01 alone: nothing breaks.
  lines = generated(FileKind::TDM);
  lines[0].replace(112, 3, "XYZ");
  EXPECT_TRUE(run(lines).summary.ran);
  EXPECT_TRUE(run({lines[0]}).summary.ran);
  EXPECT_TRUE(indicators({lines[0]}).empty());
  EXPECT_TRUE(indicators({"garbage", "", "E12"}).empty());
}

TEST_F(IndicatorTest, TheLogIsTheSameWithAndWithoutIndicators) {
  auto lines = generated(FileKind::TDM);
  lines[nth(lines, "E14", 4)].replace(46, 6, "000999");  // a CCF jump and a validation finding or two
  writeFile(path(), joinLines(lines));
  ValidationOptions options{kSampleToday};
  const ValidationSummary plain = validateCotepeFile(ui, path(), 0, options);
  const std::string plainLog = readFile(path() + ".log");
  const IndicatorRun with = run(lines);
  EXPECT_EQ(readFile(path() + ".log"), plainLog);
  EXPECT_EQ(with.summary.errors, plain.errors);
  EXPECT_EQ(with.summary.warnings, plain.warnings);
  EXPECT_FALSE(with.indicators.empty());
}

TEST_F(IndicatorTest, ASecondReadOfTheLinesGivesTheSameIndicators) {
  // Past the budget of held findings the line checks start again in a second read:
  // the indicators must not count the first read's records twice.
  auto lines = generated(FileKind::TDM);
  lines[nth(lines, "E14", 4)].replace(46, 6, "000999");
  lines[nth(lines, "E12", 2)].replace(72, 8, "20120110");
  const std::vector<Indicator> once = indicators(lines);
  writeFile(path(), joinLines(lines));
  ValidationOptions options{kSampleToday};
  options.heldFindingsBudget = 1;
  const IndicatorRun twice = validateWithIndicators(ui, path(), 0, {}, options);
  ASSERT_EQ(twice.indicators.size(), once.size()) << describe(twice.indicators);
  for (std::size_t i = 0; i < once.size(); ++i) {
    EXPECT_EQ(twice.indicators[i].code, once[i].code);
    EXPECT_EQ(twice.indicators[i].line, once[i].line);
  }
}

}  // namespace
}  // namespace tavex::testing
