#include <gtest/gtest.h>

#include <QLabel>
#include <string>

#include "app/about_dialog.h"
#include "app_fixture.h"
#include "tavex_version.h"

namespace tavex {
namespace {

// The About box, tavex --version and tavex-cli --version show the one version of
// project(): "3.28" is "03.28.00" in the About box.
TEST(Version, AboutBoxShowsTheProjectVersionInItsLongForm) {
  testing::qtApplication();
  app::AboutDialog about;
  const std::string shown = about.findChild<QLabel*>("versao")->text().toStdString();
  EXPECT_EQ(shown, std::string("Versão ") + kVersionLong);

  std::string expected;
  std::string rest = std::string(kVersion) + ".0.0";
  for (int part = 0; part < 3; ++part) {
    const auto dot = rest.find('.');
    const std::string number = rest.substr(0, dot);
    rest.erase(0, dot + 1);
    if (part > 0) expected += '.';
    if (number.size() < 2) expected += '0';
    expected += number;
  }
  EXPECT_EQ(kVersionLong, expected);
}

}  // namespace
}  // namespace tavex
