// Names of files and texts read from them are any bytes. Wherever they reach a
// terminal their control bytes are shown by value ("\x1B"), so an escape sequence
// cannot act on it; JSON and CSV keep a name that is not UTF-8 recoverable (its
// bytes as "\xHH" text, and "arquivo_bytes" in JSON) instead of '?' or U+FFFD.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include <nlohmann/json.hpp>

#include "cli/commands.h"
#include "cotepe/text.h"
#include "support/cli_capture.h"
#include "support/files.h"
#include "support/sample_files.h"

namespace tavex::cli {
namespace {

namespace fs = std::filesystem;
using tavex::testing::CliOutcome;
using tavex::testing::TempDir;

TEST(CliNamesShown, ControlBytesReachNoTerminalAndNoNameIsLost) {
  TempDir dir;
  // Two copies of one file: the same ECF, the same reductions, so the indicators
  // between files name both.
  auto lines = testing::sampleTdmFile();
  lines[1] = testing::sampleE02({{"CONTRIBUINTE", "LOJA\x1b[2J"}});
  const std::string hostile = dir.file("tela\x1b[31m.txt"), latin1 = dir.file("nota\xe7\xe3o.txt");
  for (const std::string& file : {hostile, latin1}) testing::writeFile(file, testing::joinLines(lines));
  const std::string hostileShown = dir.file("tela\\x1B[31m.txt"), latin1Shown = dir.file("nota\\xE7\\xE3o.txt");
  const std::string folder = dir.file("banco\x1b[2J");

  const struct {
    const char* what;
    int (*command)(const Args&);
    Args args;
    std::vector<std::string> shown;  // in what it prints (standard output and error)
  } cases[] = {
      {"the log shown", runValidar, {hostile}, {"Nome do contribuinte:     LOJA\\x1B[2J"}},
      {"headings and sentences", runIndicios, {hostile, latin1}, {hostileShown + "\n", "\\x1B[31m.txt têm"}},
      {"the database's place", runExportarMdb, {hostile, folder}, {"Arquivo salvo no caminho:\n" + dir.file("banco\\x1B[2J")}},
  };
  for (const auto& c : cases) {
    const CliOutcome o = testing::runCaptured(c.command, c.args);
    EXPECT_LT(o.status, 2) << c.what << o.err;
    EXPECT_EQ((o.out + o.err).find('\x1b'), std::string::npos) << c.what << o.out << o.err;
    EXPECT_TRUE(isValidUtf8(o.out)) << c.what;
    for (const std::string& text : c.shown) EXPECT_NE((o.out + o.err).find(text), std::string::npos) << c.what << o.out;
  }

  // JSON: the name's bytes beside its "\xHH" text, in the file's document and in
  // the sentences that name it.
  const auto doc = nlohmann::json::parse(testing::runCaptured(runIndicios, {hostile, latin1, "--json"}).out);
  for (const auto* files : {&doc["arquivos"], &doc["ecfs"][0]["arquivos"]}) {
    ASSERT_EQ(files->size(), 2u);
    const auto& named = (*files)[(*files)[0]["arquivo"] == latin1Shown ? 0 : 1];
    EXPECT_EQ(named["arquivo"], latin1Shown);
    EXPECT_EQ(testing::bytesFromHex(named.value("arquivo_bytes", "")), latin1);
  }
  EXPECT_NE(doc["ecfs"][0]["indicios"][0]["mensagem"].get<std::string>().find(latin1Shown), std::string::npos)
      << doc.dump();
  // CSV: cp1252 cells with the name's bytes as "\xHH" text.
  const std::string csv = testing::runCaptured(runIndicios, {hostile, latin1, "--csv"}).out;
  EXPECT_NE(csv.find("\n" + latin1Shown + ";"), std::string::npos) << csv;
  // A character cp1252 lacks is kept by its bytes too, not as '?'.
  const std::string han = dir.file("caixa\xe5\x90\x8d.txt");
  testing::writeFile(han, testing::joinLines(lines));
  ASSERT_EQ(testing::runCaptured(runValidar, {hostile, latin1, han, "--resumo", dir.file("r.csv")}).status, 0);
  const std::string summary = testing::readFile(dir.file("r.csv"));
  EXPECT_NE(summary.find("\n" + latin1Shown + ";TDM;"), std::string::npos) << summary;
  EXPECT_NE(summary.find("\n" + dir.file("caixa\\xE5\\x90\\x8D.txt") + ";TDM;"), std::string::npos) << summary;
  EXPECT_EQ(summary.find('\x1b'), std::string::npos);
}

}  // namespace
}  // namespace tavex::cli
