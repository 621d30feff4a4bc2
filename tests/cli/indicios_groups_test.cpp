// tavex-cli indicios on two reads of one ECF that disagree: the table and the JSON of
// the indicators that stand for many (one cause, the documents behind it) and of
// those across files (both files, both values).
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli/commands.h"
#include "cotepe/record_layout.h"
#include "cotepe/text.h"
#include "generator.h"
#include "support/cli_capture.h"
#include "support/files.h"
#include "support/generated_lines.h"

namespace tavex::cli {
namespace {

TEST(CliIndiciosGroups, TwoReadsThatDisagreeAsTableAndJson) {
  testing::TempDir dir;
  GeneratorOptions options;
  options.reductions = 3;
  options.couponsPerReduction = 3;
  const auto read = testing::generatedLines(options);
  auto other = read;
  std::size_t coupons = 0;
  for (std::string& line : other) {
    if (line.starts_with("E14") && ++coupons >= 2 && coupons <= 3) testing::setField(line, E14::TotalLiquido, 100 * coupons);
    if (line.starts_with("E12") && leadingInt(fieldOf(line, E12::Crz)) == 2) testing::setField(line, E12::DataMovimento, 20120104);
  }
  testing::writeFile(dir.file("a.txt"), testing::joinLines(read));
  testing::writeFile(dir.file("b.txt"), testing::joinLines(other));
  const std::string prefix = dir.path().string() + "/";
  const auto shown = [&](std::string text) {
    for (std::size_t at; (at = text.find(prefix)) != std::string::npos;) text.erase(at, prefix.size());
    return text;
  };
  const auto table = testing::runCaptured(runIndicios, {dir.file("a.txt"), dir.file("b.txt")});
  testing::expectMatchesGolden(shown(table.out), "cli/golden/indicios_grupos.txt");
  const auto json = testing::runCaptured(runIndicios, {dir.file("a.txt"), dir.file("b.txt"), "--json"});
  testing::expectMatchesGolden(nlohmann::ordered_json::parse(shown(json.out)).dump(2) + "\n",
                               "cli/golden/indicios_grupos.json");
}

}  // namespace
}  // namespace tavex::cli
