// What the commands' help tells a user who has only the installed package.
#include <gtest/gtest.h>

#include "cli/commands.h"
#include "support/cli_capture.h"

namespace tavex::cli {
namespace {

// The package installs the manual pages and the guide, not the README.
TEST(CliHelp, PointsOnlyAtDocumentsThePackageInstalls) {
  for (const auto command : {runValidar, runConciliar, runRelatorio, runFabricantes, runExportarCsv, runExportarMdb,
                             runSeparar, runAssinatura, runPaf, runExportarPg}) {
    const testing::CliOutcome o = testing::runCaptured(command, {"--help"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out.find("README"), std::string::npos) << o.out;
  }
  EXPECT_NE(testing::runCaptured(runRelatorio, {"--help"}).out.find("tavex-cli(1)"), std::string::npos);
}

}  // namespace
}  // namespace tavex::cli
