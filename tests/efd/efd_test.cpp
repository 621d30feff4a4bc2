// The ECF against the EFD: an honest declaration raises nothing, each kind of
// tampering raises its own divergence once, and bad EFD text is read around.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cotepe/text.h"
#include "efd/efd_file.h"
#include "efd_generator.h"
#include "support/cli_capture.h"
#include "support/files.h"
#include "support/generated_lines.h"

namespace tavex {
namespace {

using testing::TempDir;
using Lines = std::vector<std::string>;

// An EFD as lines "|REG|...|" (the signature after |9999| kept apart).
struct EfdText {
  Lines lines;
  std::string signature;

  explicit EfdText(const std::string& text) {
    const std::size_t end = text.find("|9999|");
    const std::size_t cut = text.find('\n', end) + 1;
    std::istringstream in(text.substr(0, cut));
    for (std::string line; std::getline(in, line);) lines.push_back(line.substr(0, line.size() - 1));
    signature = text.substr(cut);
  }
  std::string text() const { return joinLinesCrLf() + signature; }
  std::string joinLinesCrLf() const { return testing::joinLines(lines); }

  std::vector<std::string> fields(std::size_t i) const {
    std::vector<std::string> out;
    std::string f;
    for (char c : lines[i].substr(1)) {
      if (c == '|') {
        out.push_back(f);
        f.clear();
      } else {
        f += c;
      }
    }
    return out;
  }
  void setFields(std::size_t i, const std::vector<std::string>& f) {
    std::string line = "|";
    for (const std::string& x : f) line += x + "|";
    lines[i] = line;
  }
  // The index of the n-th (from 0) line of record `reg`.
  std::size_t nth(const std::string& reg, int n) const {
    for (std::size_t i = 0; i < lines.size(); ++i)
      if (lines[i].starts_with("|" + reg + "|") && n-- == 0) return i;
    ADD_FAILURE() << "no " << reg;
    return 0;
  }
  void edit(const std::string& reg, int n, std::size_t field, const std::function<std::string(std::string)>& change) {
    const std::size_t i = nth(reg, n);
    std::vector<std::string> f = fields(i);
    f[field] = change(f[field]);
    setFields(i, f);
  }
};

std::string plusCents(const std::string& amount, long long cents) {
  const std::size_t comma = amount.find(',');
  const long long value = std::stoll(amount.substr(0, comma)) * 100 + std::stoll(amount.substr(comma + 1));
  return cformat("%lld,%02lld", (value + cents) / 100, (value + cents) % 100);
}

// A consistent ECF of 40 days from 20 January (two months) and its honest EFD of January.
class EfdComparisonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GeneratorOptions options;
    options.reductions = 40;
    options.couponsPerReduction = 6;
    options.periodStart = "20120120";
    options.grandTotals = true;
    std::ostringstream tdm;
    generateCotepe(tdm, options);
    tdm_ = tdm.str();
    testing::writeFile(dir_.file("tdm.txt"), tdm_);
    const std::vector<GeneratedEfd> efd = honestEfdFiles(tdm_);
    ASSERT_EQ(efd.size(), 2u);
    january_ = efd[0].text;
  }

  // The alerts and informations `efd` gives against the ECF's files, as "CODE@CRZ" counts.
  nlohmann::json compare(const std::string& efd, const std::vector<std::string>& cotepe = {"tdm.txt"}) {
    testing::writeFile(dir_.file("efd.txt"), efd);
    cli::Args args{dir_.file("efd.txt"), "--json"};
    for (const std::string& f : cotepe) args.push_back(dir_.file(f));
    const testing::CliOutcome run = testing::runCaptured(cli::runEfd, args);
    EXPECT_NE(run.status, 2) << run.err;
    return nlohmann::json::parse(run.out);
  }
  static std::map<std::string, int> alerts(const nlohmann::json& doc, bool informations = false) {
    std::map<std::string, int> out;
    for (const auto& ecf : doc["efd"][0]["ecfs"])
      for (const auto& d : ecf["divergencias"])
        if ((d["nivel"] == "alerta") != informations)
          ++out[d["codigo"].get<std::string>() + (d["crz"].is_null() ? "" : "@" + d["crz"].dump())];
    return out;
  }

  TempDir dir_;
  std::string tdm_, january_;
};

TEST_F(EfdComparisonTest, HonestDeclarationRaisesNoAlert) {
  // A second ECF of the taxpayer (another serial), declared in the same EFD.
  std::string other = tdm_;
  for (std::size_t at = 0; at < other.size();) {
    if (other[at] == 'E') other.replace(at + 3, 20, "TX000000000000000077");
    at = other.find('\n', at) + 1;
    if (at == 0) break;
  }
  testing::writeFile(dir_.file("tdm2.txt"), other);
  EfdText both(january_), second(honestEfdFiles(other)[0].text);
  const std::size_t from = second.nth("C400", 0), end = both.nth("C990", 0);
  both.lines.insert(both.lines.begin() + static_cast<std::ptrdiff_t>(end), second.lines.begin() + static_cast<std::ptrdiff_t>(from),
                    second.lines.begin() + static_cast<std::ptrdiff_t>(second.nth("C990", 0)));
  const nlohmann::json doc = compare(both.text(), {"tdm.txt", "tdm2.txt"});
  EXPECT_TRUE(alerts(doc).empty()) << doc.dump(1);
  ASSERT_EQ(doc["efd"][0]["ecfs"].size(), 2u);
  for (const auto& ecf : doc["efd"][0]["ecfs"]) {
    const auto& month = ecf["resumo"]["meses"][0];
    EXPECT_EQ(month["reducoes_declaradas"], 12);
    EXPECT_EQ(month["reducoes_registradas"], 12);
    EXPECT_EQ(month["venda_bruta_declarada"], month["venda_bruta_registrada"]);
    EXPECT_EQ(month["cupons_declarados"], month["cupons_registrados"]);
  }
  // February: the ECF's files run into it.
  EXPECT_TRUE(alerts(compare(honestEfdFiles(tdm_)[1].text)).empty());
}

TEST_F(EfdComparisonTest, EachTamperingRaisesItsOwnAlertOnce) {
  // The fifth reduction of January is CRZ 5.
  struct Case {
    const char* name;
    std::function<void(EfdText&)> tamper;
    std::map<std::string, int> expected;
  };
  const std::vector<Case> cases = {
      {"venda bruta",
       [](EfdText& e) {
         e.edit("C405", 4, 6, [](std::string v) { return plusCents(v, 100); });
         for (int k = 4; k < 12; ++k) e.edit("C405", k, 5, [](std::string v) { return plusCents(v, 100); });
       },
       {{"EFD_VENDA_BRUTA@5", 1}}},
      {"GT", [](EfdText& e) { for (int k = 4; k < 12; ++k) e.edit("C405", k, 5, [](std::string v) { return plusCents(v, 7); }); },
       {{"EFD_GT@5", 1}}},
      {"data", [](EfdText& e) { e.edit("C405", 4, 1, [](std::string v) { return "25" + v.substr(2); }); },
       {{"EFD_DATA@5", 1}}},
      {"CRO", [](EfdText& e) { e.edit("C405", 4, 2, [](std::string) { return "7"; }); }, {{"EFD_CRO@5", 1}}},
      {"COO final", [](EfdText& e) { e.edit("C405", 4, 4, [](std::string v) { return std::to_string(std::stoll(v) + 1); }); },
       {{"EFD_COO_FIN@5", 1}}},
      {"totalizador", [](EfdText& e) { e.edit("C420", 20, 2, [](std::string v) { return plusCents(v, 5); }); },
       {{"EFD_TOTALIZADOR@" + std::string("4"), 1}}},
      {"redução omitida",
       [](EfdText& e) {
         std::size_t i = e.nth("C405", 4);
         e.lines.erase(e.lines.begin() + i);
         while (!e.lines[i].starts_with("|C405|")) e.lines.erase(e.lines.begin() + i);
       },
       {{"EFD_RZ_NAO_ESCRITURADA@5", 1}}},
      {"cupom omitido", [](EfdText& e) { e.lines.erase(e.lines.begin() + e.nth("C460", 30)); },
       {{"EFD_CUPOM_NAO_ESCRITURADO@6", 1}}},
      {"cupom a mais", [](EfdText& e) { e.lines.insert(e.lines.begin() + e.nth("C460", 30), "|C460|2D|00|999990|25012012|1,00|0,00|0,00|||"); },
       {{"EFD_CUPOM_SEM_ECF@6", 1}}},
      {"valor do cupom", [](EfdText& e) { e.edit("C460", 30, 5, [](std::string v) { return v.empty() ? v : plusCents(v, 50); }); },
       {{"EFD_CUPOM_VALOR@6", 1}}},
      {"cupom cancelado",
       [](EfdText& e) {
         std::vector<std::string> f = e.fields(e.nth("C460", 30));
         if (f[2] == "02") f[2] = "00", f[4] = "25012012", f[5] = "1,00";
         else f = {"C460", "2D", "02", f[3], "", "", "", "", "", ""};
         e.setFields(e.nth("C460", 30), f);
       },
       {{"EFD_CUPOM_SITUACAO@6", 1}}},
      {"ECF trocada", [](EfdText& e) { e.edit("C400", 0, 3, [](std::string) { return "XX000000000000000009"; }); },
       {{"EFD_ECF_NAO_ESCRITURADO", 1}}},
  };
  for (const Case& c : cases) {
    EfdText efd(january_);
    c.tamper(efd);
    std::map<std::string, int> found = alerts(compare(efd.text()));
    if (std::string(c.name) == "totalizador") {  // whichever reduction the 21st C420 belongs to
      ASSERT_EQ(found.size(), 1u) << c.name;
      EXPECT_TRUE(found.begin()->first.starts_with("EFD_TOTALIZADOR@")) << c.name;
      EXPECT_EQ(found.begin()->second, 1) << c.name;
      continue;
    }
    EXPECT_EQ(found, c.expected) << c.name;
  }
}

TEST_F(EfdComparisonTest, WhatCannotBeComparedIsOnlyInformation) {
  // CRZ 11 missing between two files of the ECF: the EFD's C405 is unexplained (alert);
  // CRZ 12's coupons cannot be attributed without the reduction before it (information).
  const Lines lines = testing::generatedLines([] {
    GeneratorOptions o;
    o.reductions = 40;
    o.couponsPerReduction = 6;
    o.periodStart = "20120120";
    o.grandTotals = true;
    return o;
  }());
  testing::writeFile(dir_.file("a.txt"), testing::joinLines(reductionsOf(lines, 1, 10)));
  testing::writeFile(dir_.file("b.txt"), testing::joinLines(reductionsOf(lines, 12, 40)));
  const nlohmann::json doc = compare(january_, {"a.txt", "b.txt"});
  EXPECT_EQ(alerts(doc), (std::map<std::string, int>{{"EFD_RZ_SEM_ECF@11", 1}}));
  EXPECT_EQ(alerts(doc, true), (std::map<std::string, int>{{"EFD_SEM_CUPONS@12", 1}}));
}

TEST_F(EfdComparisonTest, OutputsKeepTheirShape) {
  EfdText efd(january_);
  efd.edit("C405", 4, 6, [](std::string v) { return plusCents(v, 100); });
  efd.edit("C460", 30, 4, [](std::string v) { return v.empty() ? v : "26" + v.substr(2); });
  testing::writeFile(dir_.file("efd.txt"), efd.text());
  const std::string folder = dir_.path().string();
  const auto shown = [&](std::string out) {
    for (std::size_t at; (at = out.find(folder)) != std::string::npos;) out.replace(at, folder.size(), "PASTA");
    return out;
  };
  for (const auto& [option, golden] : std::vector<std::pair<std::string, std::string>>{
           {"", "efd/golden/efd.txt"}, {"--json", "efd/golden/efd.json"}, {"--csv", "efd/golden/efd.csv"}}) {
    cli::Args args{dir_.file("efd.txt"), dir_.file("tdm.txt")};
    if (!option.empty()) args.push_back(option);
    const testing::CliOutcome run = testing::runCaptured(cli::runEfd, args);
    EXPECT_EQ(run.status, 1) << option;
    testing::expectMatchesGolden(shown(run.out), golden);
  }
}

TEST_F(EfdComparisonTest, ReportShowsEachDivergenceWithItsRecord) {
  EfdText efd(january_);
  efd.edit("C405", 4, 6, [](std::string v) { return plusCents(v, 100); });
  testing::writeFile(dir_.file("efd.txt"), efd.text());
  const testing::CliOutcome run = testing::runCaptured(
      cli::runRelatorio, {dir_.file("tdm.txt"), dir_.file("efd.txt"), "--saida", dir_.file("r.html")});
  EXPECT_EQ(run.status, 1) << run.err;
  const std::string page = testing::readFile(dir_.file("r.html"));
  EXPECT_NE(page.find("<h2>ECF × EFD</h2>"), std::string::npos);
  const std::size_t item = page.find("data-codigo=\"EFD_VENDA_BRUTA\"");
  ASSERT_NE(item, std::string::npos);
  EXPECT_LT(page.find("<pre class=\"registro\">E12", item), page.find("</li>", item));  // the E12 shown under it
}

TEST(EfdReader, BadLinesAreSetAsideWithTheirLine) {
  const std::string head = "|0000|017|0|01012012|31012012|LOJA|11222333000181||SP|1|3550308|||A|1|\r\n";
  const std::string tail = "|9999|9|\r\n";
  struct Case {
    const char* name;
    std::string text;
    bool read;
    int line;             // of the first problem (0: none expected)
    const char* message;  // part of it (UTF-8)
  };
  const std::vector<Case> cases = {
      {"C405 sem C400", head + "|C405|02012012|1|1|10|100,00|100,00|\r\n" + tail, true, 2, "antes de qualquer C400"},
      {"C460 sem C405", head + "|C400|2D|M|S1|1|\r\n|C460|2D|00|5|02012012|1,00|0|0|||\r\n" + tail, true, 3,
       "antes de qualquer C405"},
      {"campo a menos", head + "|C400|2D|M|S1|1|\r\n|C405|02012012|1|1|10|100,00|\r\n" + tail, true, 3, "5 campos, esperados 6"},
      {"valor", head + "|C400|2D|M|S1|1|\r\n|C405|02012012|1|1|10|1.000,00|100,00|\r\n" + tail, true, 3, "GT_FIN \"1.000,00\" inválido"},
      {"data", head + "|C400|2D|M|S1|1|\r\n|C405|30022012|1|1|10|100,00|100,00|\r\n" + tail, true, 3, "data DT_DOC"},
      {"período invertido", "|0000|017|0|01022012|31012012|LOJA|1||SP|1|1|||A|1|\r\n" + tail, true, 1, "DT_INI posterior"},
      {"sem 9999", head + "|C400|2D|M|S1|1|\r\n", true, 2, "sem o registro 9999"},
      {"linha enorme", head + "|C405|" + std::string(200000, '1') + "\r\n" + tail, true, 2, "longo demais"},
      {"assinatura", head + tail + std::string("\x00\xff\n|C405|x|\r\n", 14), true, 0, ""},
      {"sem 0000", "|C400|2D|M|S1|1|\r\n" + tail, false, 0, "registro 0000"},
      {"vazio", "", false, 0, "vazio"},
  };
  TempDir dir;
  for (const Case& c : cases) {
    testing::writeFile(dir.file("e.txt"), c.text);
    const EfdFile f = readEfdFile(dir.file("e.txt"));
    EXPECT_EQ(f.read, c.read) << c.name;
    const std::string said = cp1252ToUtf8(f.read ? (f.problems.empty() ? "" : f.problems[0].message) : f.failure);
    EXPECT_NE(said.find(c.message), std::string::npos) << c.name << ": " << said;
    if (c.read) {
      EXPECT_EQ(f.problems.empty() ? 0 : f.problems[0].line, c.line) << c.name;
      EXPECT_EQ(f.problems.size(), c.line ? 1u : 0u) << c.name;
    }
  }
}

}  // namespace
}  // namespace tavex
