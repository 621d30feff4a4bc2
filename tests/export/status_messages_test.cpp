// The final box of a conversion command, looked up in its table of statuses.
#include <gtest/gtest.h>

#include <vector>

#include "cotepe/text.h"
#include "export/conversion.h"
#include "support/scripted_ui.h"

namespace tavex {
namespace {

using testing::ScriptedUserInterface;
using testing::ShownMessage;

// The fallback row first: a status the table lists still finds its own row.
constexpr StatusMessage kTable[] = {
    {kAnyOtherStatus, "Erro desconhecido!", "Erro!", Icon::Error},
    {0, "Arquivos salvos em:\n%s"_cp, "Aviso", Icon::Information, true},
    {1, "Sem permissão em 100% dos casos"_cp, "Erro!", Icon::Error},
    {2, nullptr},
};

std::vector<ShownMessage> shownFor(std::span<const StatusMessage> table, int status, const std::string& path) {
  ScriptedUserInterface ui;
  showStatusMessage(ui, table, status, path);
  return ui.messages;
}

TEST(StatusMessages, EachStatusShowsItsRowAndOthersTheFallback) {
  EXPECT_EQ(shownFor(kTable, 0, "/tmp/Relatórios"),
            (std::vector<ShownMessage>{{"Arquivos salvos em:\n/tmp/Relatórios"_cp, "Aviso", Icon::Information}}))
      << "the path in cp1252";
  EXPECT_EQ(shownFor(kTable, 1, "/tmp/%s"),
            (std::vector<ShownMessage>{{"Sem permissão em 100% dos casos"_cp, "Erro!", Icon::Error}}))
      << "a text without the path is shown as written";
  EXPECT_TRUE(shownFor(kTable, 2, "/tmp").empty()) << "a row without text shows nothing";
  EXPECT_EQ(shownFor(kTable, 7, "/tmp"), (std::vector<ShownMessage>{{"Erro desconhecido!", "Erro!", Icon::Error}}));
  EXPECT_EQ(shownFor(kTable, kConversionCancelled, "/tmp"),
            (std::vector<ShownMessage>{{"Erro desconhecido!", "Erro!", Icon::Error}}));
  EXPECT_TRUE(shownFor(std::span(kTable).subspan(1), 7, "/tmp").empty()) << "no fallback row: nothing";
}

}  // namespace
}  // namespace tavex
