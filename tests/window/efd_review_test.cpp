// "Confrontar com EFD…" without the window: the review of the example ECF against
// its honest and its tampered EFD, the rows the tab lists, and the ways the
// command is refused or stopped.
#include "window/efd_review.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>

#include "cotepe/text.h"
#include "support/files.h"
#include "support/scripted_ui.h"
#include "window/finding_query.h"

namespace tavex {
namespace {

using testing::ScriptedUserInterface;
using testing::TempDir;

// The example ECF and its two EFDs, copied where their logs may be written.
struct Example {
  TempDir dir;
  std::string ecf = dir.file("ecf.txt"), honest = dir.file("efd_honesta.txt"), tampered = dir.file("efd_adulterada.txt");
  Example() {
    for (const std::string* path : {&ecf, &honest, &tampered})
      testing::writeFile(*path, testing::readFile(std::string(TAVEX_SOURCE_DIR) + "/exemplos/efd/" +
                                                  std::filesystem::path(*path).filename().string()));
  }
};

TEST(EfdReview, HonestEfdRaisesNothingAndEachDivergenceKeepsItsEfdLine) {
  Example x;
  const std::optional<EfdReview> honest = reviewEfd({x.ecf}, {x.honest}, 0);
  ASSERT_TRUE(honest);
  EXPECT_EQ(honest->alerts(), 0u);
  EXPECT_TRUE(honest->problems.empty());
  ASSERT_EQ(honest->comparisons.size(), 1u);
  ASSERT_EQ(honest->comparisons[0].ecfs.size(), 1u);
  EXPECT_FALSE(honest->comparisons[0].ecfs[0].months.empty());

  const std::optional<EfdReview> tampered = reviewEfd({x.ecf}, {x.tampered}, 0);
  ASSERT_TRUE(tampered);
  EXPECT_GT(tampered->alerts(), 0u);
  ASSERT_EQ(tampered->efdLineTexts.size(), tampered->rows.size());
  const std::vector<std::string> lines = [&] {
    std::vector<std::string> all{""};
    const std::string text = testing::readFile(x.tampered);
    for (std::size_t at = 0; at < text.size();) {
      const std::size_t lf = std::min(text.find('\n', at), text.size());
      all.push_back(text.substr(at, lf - at - (lf > at && text[lf - 1] == '\r' ? 1 : 0)));
      at = lf + 1;
    }
    return all;
  }();
  for (std::size_t r = 0; r < tampered->rows.size(); ++r) {
    const EfdDivergence& d = tampered->divergence(tampered->rows[r]);
    EXPECT_EQ(tampered->efdLineTexts[r], d.efdLine > 0 ? lines.at(static_cast<std::size_t>(d.efdLine)) : "")
        << efdCheckCode(d.check);
  }
}

TEST(EfdReview, RowsFollowTheLevelAndTheSearchIgnoringCase) {
  Example x;
  const std::optional<EfdReview> review = reviewEfd({x.ecf}, {x.tampered}, 0);
  ASSERT_TRUE(review);
  const std::size_t all = review->rows.size(), alerts = review->alerts();
  const EfdDivergence& first = review->divergence(review->rows[0]);
  const std::string code(efdCheckCode(first.check));
  struct Case {
    EfdRowQuery query;
    std::function<bool(const EfdDivergence&)> expected;
  };
  const std::vector<Case> cases = {
      {{-1, ""}, [](const EfdDivergence&) { return true; }},
      {{0, ""}, [](const EfdDivergence& d) { return d.level == IndicatorLevel::Alerta; }},
      {{1, ""}, [](const EfdDivergence& d) { return d.level == IndicatorLevel::Informacao; }},
      {{-1, "redução z"_cp}, [](const EfdDivergence& d) { return containsIgnoringCase(d.sentence, "REDUÇÃO Z"_cp); }},
      {{0, code}, [&](const EfdDivergence& d) { return d.check == first.check; }},
      {{-1, "nada disso"}, [](const EfdDivergence&) { return false; }},
  };
  for (const Case& c : cases) {
    std::vector<std::size_t> expected;
    for (std::size_t i = 0; i < all; ++i)
      if (c.expected(review->divergence(review->rows[i]))) expected.push_back(i);
    EXPECT_EQ(selectEfdRows(*review, c.query), expected) << c.query.level << " " << c.query.search;
  }
  EXPECT_EQ(selectEfdRows(*review, {0, ""}).size(), alerts);
}

TEST(EfdReview, EfdLinesAreReadWithoutTheirEndsAndCutWhenLong) {
  TempDir dir;
  const std::string longLine(3u << 20, 'x');  // across the read's blocks
  struct Case {
    std::string text;
    std::vector<int> lines;
    std::map<int, std::string> expected;
  };
  const std::vector<Case> cases = {
      {"|0000|\r\n|C400|\n|C405|", {1, 2, 3}, {{1, "|0000|"}, {2, "|C400|"}, {3, "|C405|"}}},
      {longLine + "\r\n|C405|1|\r\n", {1, 2}, {{1, std::string(kEfdLineShown, 'x') + "\x85"}, {2, "|C405|1|"}}},
      {"a\nb\n", {2, 7}, {{2, "b"}}},
      {"", {1}, {}},
  };
  for (const Case& c : cases) {
    testing::writeFile(dir.file("efd.txt"), c.text);
    EXPECT_EQ(readLinesOf(dir.file("efd.txt"), c.lines), c.expected) << c.text.substr(0, 20);
  }
}

TEST(EfdWorkbench, RefusesOrStopsWithoutLosingTheLastReview) {
  Example x;
  struct Case {
    const char* name;
    std::string cotepe, tolerance;
    std::vector<std::optional<std::string>> chosen;
    bool cancelWorker;
    EfdWorkbench::Outcome outcome;
    std::string message;  // the start of the one message shown; empty: none
  };
  const std::vector<Case> cases = {
      {"shown", x.ecf, "0,00", {x.tampered}, false, EfdWorkbench::Outcome::Shown, ""},
      {"only a COTEPE file chosen", "", "0", {x.ecf}, false, EfdWorkbench::Outcome::NotRun, "Nenhum dos arquivos"},
      {"chooser cancelled", x.ecf, "0", {std::nullopt}, false, EfdWorkbench::Outcome::NotRun, ""},
      {"no ECF", "", "0", {x.honest}, false, EfdWorkbench::Outcome::NotRun, "Abra ou valide"},
      {"bad tolerance", x.ecf, "0,5", {}, false, EfdWorkbench::Outcome::NotRun, "Tolerância inválida"},
      {"cancelled", x.ecf, "0", {x.honest}, true, EfdWorkbench::Outcome::Cancelled, ""},
  };
  ScriptedUserInterface ui;
  WorkerJob job;
  EfdWorkbench bench(ui);
  for (const Case& c : cases) {
    ui.messages.clear();
    for (const auto& answer : c.chosen) ui.answer(answer);
    ui.progressHandler = c.cancelWorker ? testing::cancelJobWhen([](const WorkerJob&) { return true; })
                                        : testing::runJobToEnd();
    EXPECT_EQ(bench.confront(job, c.cotepe, c.tolerance), c.outcome) << c.name;
    ASSERT_EQ(ui.messages.size(), c.message.empty() ? 0u : 1u) << c.name;
    if (!c.message.empty()) {
      EXPECT_TRUE(ui.messages[0].text.starts_with(utf8ToCp1252(c.message))) << c.name;
    }
    // The first review stays through every refusal and cancellation.
    ASSERT_TRUE(bench.last) << c.name;
    EXPECT_EQ(bench.last->efdFiles.at(0)->path, x.tampered) << c.name;
  }
  // An EFD line that cannot be read is a problem of the review, told once it is shown.
  std::string text = testing::readFile(x.honest);
  text.insert(text.find("|C405|"), "|C405|31022012|\r\n");
  testing::writeFile(x.honest, text);
  ui.messages.clear();
  ui.answer(x.honest);
  ui.progressHandler = testing::runJobToEnd();
  ASSERT_EQ(bench.confront(job, x.ecf, "0"), EfdWorkbench::Outcome::Shown);
  ASSERT_EQ(bench.last->problems.size(), 1u);
  EXPECT_TRUE(bench.last->problems[0].starts_with(x.honest + ", linha ")) << bench.last->problems[0];
  EXPECT_TRUE(ui.messages.empty());
  bench.tellProblems();
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_NE(ui.messages[0].text.find(bench.last->problems[0]), std::string::npos);
}

}  // namespace
}  // namespace tavex
