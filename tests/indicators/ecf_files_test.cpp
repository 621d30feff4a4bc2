// Files of one ECF grouped and set against each other: months that follow each
// other, a month missing, a reduction told two ways, counters that go back, two
// ECFs in one folder, and the files that cannot join a group.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "cotepe/br_format.h"

#include "cotepe/record_layout.h"
#include "indicators/ecf_files.h"
#include "indicator_fixture.h"
#include "validation/validate.h"

namespace tavex::testing {
namespace {

class EcfFilesTest : public ::testing::Test {
 protected:
  // Validates each file (written under its name) as the batch does and groups them.
  std::vector<EcfGroup> group(const std::vector<std::pair<std::string, std::vector<std::string>>>& files) {
    footprints.clear();
    for (const auto& [name, lines] : files) {
      writeFile(dir.file(name), joinLines(lines));
      FootprintCollector collector(dir.file(name));
      ValidationOptions options{kSampleToday};
      options.recordObserver = &collector;
      const ValidationSummary summary = validateCotepeFile(ui, dir.file(name), 0, options);
      footprints.push_back(collector.finish(summary));
    }
    return groupByEcf(footprints);
  }
  std::vector<std::string> names(const EcfGroup& g) const {
    std::vector<std::string> out;
    for (std::size_t i : g.files) out.push_back(std::filesystem::path(footprints[i].path).filename().string());
    return out;
  }
  static std::vector<std::string> codes(const EcfGroup& g) {
    std::vector<std::string> out;
    for (const Indicator& i : g.indicators) out.emplace_back(i.code);
    return out;
  }

  // A quarter of one ECF's fiscal memory: reductions 1..90, one per day.
  static std::vector<std::string> quarter(std::uint64_t seed = 3) {
    GeneratorOptions options;
    options.kind = FileKind::MF;
    options.seed = seed;
    options.reductions = 90;
    return generatedLines(options);
  }

  TempDir dir;
  ScriptedUserInterface ui;
  std::vector<FileFootprint> footprints;
};

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line.substr(0, line.size() - 1));  // CR
  return lines;
}
std::size_t nthOf(const std::vector<std::string>& lines, int type, std::size_t skip) {
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (recordTypeOf(lines[i]) == type && skip-- == 0) return i;
  return 0;
}

TEST_F(EcfFilesTest, ThreeMonthsThatFollowEachOtherGiveNoIndicator) {
  const auto all = quarter();
  // Given out of order: the group orders them by CRZ.
  const auto groups = group({{"marco.txt", reductionsOf(all, 61, 90)},
                             {"janeiro.txt", reductionsOf(all, 1, 30)},
                             {"fevereiro.txt", reductionsOf(all, 31, 60)}});
  ASSERT_EQ(groups.size(), 1u);
  EXPECT_TRUE(groups[0].known);
  EXPECT_EQ(names(groups[0]), (std::vector<std::string>{"janeiro.txt", "fevereiro.txt", "marco.txt"}));
  EXPECT_EQ(groups[0].held, (std::vector<std::pair<int, int>>{{1, 90}}));
  EXPECT_TRUE(groups[0].missing.empty());
  EXPECT_TRUE(groups[0].indicators.empty()) << groups[0].indicators[0].code;
}

TEST_F(EcfFilesTest, AMonthMissingIsAGapNamingItsReductions) {
  const auto all = quarter();
  const auto groups = group({{"janeiro.txt", reductionsOf(all, 1, 30)}, {"marco.txt", reductionsOf(all, 61, 90)}});
  ASSERT_EQ(groups.size(), 1u);
  EXPECT_EQ(groups[0].missing, (std::vector<std::pair<int, int>>{{31, 60}}));
  ASSERT_EQ(codes(groups[0]), std::vector<std::string>{"indicio.arquivos.lacuna"});
  const Indicator& gap = groups[0].indicators[0];
  EXPECT_EQ(gap.crz, 31);
  EXPECT_NE(gap.sentence.find("CRZ 000031 a 000060"), std::string::npos) << gap.sentence;
  EXPECT_NE(gap.sentence.find("janeiro.txt"), std::string::npos);
  EXPECT_NE(gap.sentence.find("marco.txt"), std::string::npos);
}

TEST_F(EcfFilesTest, AReductionToldTwoWaysInAnOverlappingCopyDiverges) {
  const auto all = quarter();
  auto copy = reductionsOf(all, 21, 40);
  // The gross sales of CRZ 25 rewritten in the copy.
  for (std::string& line : copy)
    if (recordTypeOf(line) == 12 && leadingInt(fieldOf(line, E12::Crz)) == 25) {
      const FieldLayout& gross = fieldLayout(E12::VendaBrutaDiaria);
      line.replace(static_cast<std::size_t>(gross.start - 1), static_cast<std::size_t>(gross.width),
                   std::string(static_cast<std::size_t>(gross.width - 1), '0') + "7");
    }
  const auto groups = group({{"janeiro.txt", reductionsOf(all, 1, 30)}, {"copia.txt", copy}});
  ASSERT_EQ(groups.size(), 1u);
  EXPECT_EQ(codes(groups[0]), (std::vector<std::string>{"indicio.arquivos.divergencia", "indicio.arquivos.sobreposicao"}));
  const Indicator& diverges = groups[0].indicators[0];
  EXPECT_EQ(diverges.crz, 25);
  EXPECT_NE(diverges.sentence.find("venda bruta"), std::string::npos) << diverges.sentence;
  EXPECT_EQ(diverges.sentence.find("COO"), std::string::npos) << diverges.sentence;
  const Indicator& overlap = groups[0].indicators[1];
  EXPECT_EQ(overlap.level, IndicatorLevel::Informacao);
  EXPECT_EQ(cp1252ToUtf8(overlap.found), "000021 a 000030");
}

// A month read again and again: each copy overlaps once, with the file before it,
// not once per pair of copies (a thousand copies would otherwise give half a million).
TEST_F(EcfFilesTest, CopiesOfOneMonthOverlapOnceEach) {
  const auto month = reductionsOf(quarter(), 1, 30);
  std::vector<std::pair<std::string, std::vector<std::string>>> files;
  for (int i = 1; i <= 6; ++i) files.push_back({"leitura" + std::to_string(i) + ".txt", month});
  const auto groups = group(files);
  ASSERT_EQ(groups.size(), 1u);
  EXPECT_EQ(codes(groups[0]), std::vector<std::string>(5, "indicio.arquivos.sobreposicao"));
}

TEST_F(EcfFilesTest, ACounterOfALaterFileBelowAnEarlierOnesGoesBack) {
  const auto all = quarter();
  auto february = reductionsOf(all, 31, 60);
  for (std::string& line : february)
    if (recordTypeOf(line) == 12 && leadingInt(fieldOf(line, E12::Crz)) == 31) {
      const FieldLayout& coo = fieldLayout(E12::Coo);
      line.replace(static_cast<std::size_t>(coo.start - 1), static_cast<std::size_t>(coo.width),
                   std::string(static_cast<std::size_t>(coo.width - 1), '0') + "1");
    }
  const auto groups = group({{"janeiro.txt", reductionsOf(all, 1, 30)}, {"fevereiro.txt", february}});
  ASSERT_EQ(groups.size(), 1u);
  const std::vector<std::string> found = codes(groups[0]);
  const auto contadores = std::count(found.begin(), found.end(), "indicio.arquivos.contadores");
  EXPECT_EQ(contadores, 1) << groups[0].indicators.size();
}

TEST_F(EcfFilesTest, TwoEcfsFormTwoGroupsAndADamagedE01StaysAlone) {
  const auto all = quarter();
  auto other = reductionsOf(all, 1, 30);
  const FieldLayout& serial = fieldLayout(E01::NumeroFabricacao);
  auto relabelled = other;  // only its E01 names the other ECF: its records are still the first's
  relabelled[0].replace(static_cast<std::size_t>(serial.start - 1), 20, "XY000000000000000099");
  for (std::string& line : other)  // every record of another ECF (its serial is where E01's is)
    if (!line.starts_with("EAD")) line.replace(static_cast<std::size_t>(serial.start - 1), 20, "XY000000000000000099");
  auto damaged = reductionsOf(all, 31, 60);
  const FieldLayout& start = fieldLayout(E01::DataInicial);
  damaged[0].replace(static_cast<std::size_t>(start.start - 1), 1, "X");  // E01 fails its formats
  auto broken = reductionsOf(all, 31, 60);
  broken.insert(broken.begin() + 3, "");  // structure fails
  const auto groups = group({{"a.txt", reductionsOf(all, 1, 30)},
                             {"b.txt", other},
                             {"c.txt", damaged},
                             {"d.txt", broken},
                             {"e.txt", damaged},
                             {"f.txt", relabelled}});
  ASSERT_EQ(groups.size(), 4u);
  EXPECT_EQ(names(groups[0]), std::vector<std::string>{"a.txt"});
  EXPECT_EQ(groups[0].excluded.size(), 1u);  // d.txt: reported, the group goes on without it
  EXPECT_TRUE(groups[0].indicators.empty());
  EXPECT_EQ(names(groups[1]), std::vector<std::string>{"b.txt"});
  ASSERT_EQ(groups[1].excluded.size(), 1u);  // f.txt
  EXPECT_EQ(exclusionReason(footprints[groups[1].excluded[0]]), "a linha 2 (E02) é da ECF TX000000000000000001"_cp);
  EXPECT_FALSE(groups[2].known);
  EXPECT_FALSE(groups[3].known);  // two unknown ECFs are never one
  EXPECT_EQ(ecfCaption(groups[2]), "ECF desconhecida");
}

template <class Field>
void put(std::vector<std::string>& lines, int type, Field field, std::int64_t value, std::size_t skip = 0) {
  setField(lines[nthOf(lines, type, skip)], field, value);
}

// The E11 of a read made when the reduction `crz` was the last one.
void capturedAfter(std::vector<std::string>& lines, const std::vector<std::string>& all, int crz, std::int64_t date) {
  for (const std::string& line : all)
    if (recordTypeOf(line) == 12 && leadingInt(fieldOf(line, E12::Crz)) == crz) {
      put(lines, 11, E11::Coo, leadingInt(fieldOf(line, E12::Coo)));
      put(lines, 11, E11::Crz, crz);
      put(lines, 11, E11::DataCaptura, date);
    }
}

TEST_F(EcfFilesTest, CountersAreComparedInTheOrderOfTheirCaptures) {
  const auto all = quarter();
  auto january = reductionsOf(all, 1, 30), february = reductionsOf(all, 31, 60);
  capturedAfter(january, all, 30, 20120131);
  capturedAfter(february, all, 60, 20120301);
  // January read again in April: its E11 holds April's counters.
  auto again = reductionsOf(all, 1, 30);
  put(again, 11, E11::DataCaptura, 20120410);
  auto groups = group({{"jan.txt", january}, {"fev.txt", february}, {"jan_abril.txt", again}});
  EXPECT_EQ(codes(groups[0]), std::vector<std::string>{"indicio.arquivos.sobreposicao"});
  // A capture of May below April's is a counter gone back, whichever month it holds.
  auto may = reductionsOf(all, 31, 60);
  capturedAfter(may, all, 60, 20120510);
  groups = group({{"jan_abril.txt", again}, {"maio.txt", may}});
  ASSERT_EQ(codes(groups[0]), std::vector<std::string>{"indicio.arquivos.contadores"});
  EXPECT_EQ(groups[0].indicators[0].files, (std::vector<std::string>{dir.file("jan_abril.txt"), dir.file("maio.txt")}));
}

TEST_F(EcfFilesTest, FilesWithoutEadJoinTheirGroup) {
  const auto all = quarter();
  auto january = reductionsOf(all, 1, 30), march = reductionsOf(all, 61, 90);
  january.pop_back();
  march.pop_back();
  const auto groups = group({{"janeiro.txt", january}, {"marco.txt", march}});
  EXPECT_TRUE(groups[0].excluded.empty());
  EXPECT_TRUE(footprints[0].withoutEad);
  EXPECT_EQ(groups[0].missing, (std::vector<std::pair<int, int>>{{31, 60}}));
}

TEST_F(EcfFilesTest, TwoReadsOfOneDetailMemoryThatDisagree) {
  GeneratorOptions options;
  options.reductions = 4;
  options.couponsPerReduction = 3;
  const auto tdm = generatedLines(options);
  auto copy = tdm;
  put(copy, 14, E14::TotalLiquido, 777, 4);
  put(copy, 14, E14::TotalLiquido, 778, 5);
  auto groups = group({{"a.txt", tdm}, {"b.txt", tdm}});
  EXPECT_EQ(codes(groups[0]), std::vector<std::string>{"indicio.arquivos.sobreposicao"});
  groups = group({{"a.txt", tdm}, {"b.txt", copy}});
  ASSERT_EQ(codes(groups[0]), (std::vector<std::string>{"indicio.arquivos.divergencia", "indicio.arquivos.sobreposicao"}));
  const Indicator& differs = groups[0].indicators[0];
  EXPECT_EQ(differs.count, 2);
  EXPECT_EQ(differs.found, "7,77");
  EXPECT_EQ(differs.expected, brazilianMoney(leadingInt(fieldOf(tdm[nthOf(tdm, 14, 4)], E14::TotalLiquido))));
  EXPECT_EQ(differs.files, (std::vector<std::string>{dir.file("a.txt"), dir.file("b.txt")}));
}

TEST_F(EcfFilesTest, ADayOfTheFiscalMemoryWithoutDocumentsInTheDetailMemory) {
  GeneratorOptions options;
  options.reductions = 4;
  options.couponsPerReduction = 3;
  std::ostringstream mfText, mfdText;
  generateMemoryPair(mfText, mfdText, nullptr, options);
  const auto mf = linesOf(mfText.str());
  auto mfd = linesOf(mfdText.str());
  auto groups = group({{"mf.txt", mf}, {"mfd.txt", mfd}});
  EXPECT_TRUE(groups[0].indicators.empty()) << groups[0].indicators[0].sentence;
  // The second day's documents gone from the detail memory.
  const std::int64_t from = leadingInt(fieldOf(mf[nthOf(mf, 12, 0)], E12::Coo));
  const std::int64_t to = leadingInt(fieldOf(mf[nthOf(mf, 12, 1)], E12::Coo));
  std::erase_if(mfd, [&](const std::string& l) {
    const int type = recordTypeOf(l);
    const std::string_view coo = type == 14 ? fieldOf(l, E14::Coo) : type == 15 ? fieldOf(l, E15::Coo)
                               : type == 19 ? fieldOf(l, E19::Coo) : type == 20 ? fieldOf(l, E20::Coo)
                               : type == 21 ? fieldOf(l, E21::Coo) : std::string_view();
    return !coo.empty() && leadingInt(coo) > from && leadingInt(coo) < to;
  });
  groups = group({{"mf.txt", mf}, {"mfd.txt", mfd}});
  const auto found = codes(groups[0]);
  ASSERT_EQ(std::count(found.begin(), found.end(), "indicio.z.sem_documentos"), 1);
  const Indicator& day = *std::find_if(groups[0].indicators.begin(), groups[0].indicators.end(),
                                       [](const Indicator& i) { return i.code == "indicio.z.sem_documentos"; });
  EXPECT_EQ(day.crz, 2);
  EXPECT_EQ(day.line, static_cast<int>(nthOf(mf, 12, 1)) + 1);
}

}  // namespace
}  // namespace tavex::testing
