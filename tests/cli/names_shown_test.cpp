// Names of files and texts read from them are any bytes: on a terminal their
// control bytes are shown by value ("\x1B"), and JSON, CSV and sentences keep a
// name that is not UTF-8, or that cp1252 cannot hold, by its bytes ("\xHH").
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli/commands.h"
#include "cotepe/text.h"
#include "support/cli_capture.h"
#include "support/files.h"
#include "support/sample_files.h"

namespace tavex::cli {
namespace {

using tavex::testing::runCaptured;

TEST(CliNamesShown, ControlBytesReachNoTerminalAndNoNameIsLost) {
  testing::TempDir dir;
  auto lines = testing::sampleTdmFile();  // copies of one file: the sentences between files name both
  lines[1] = testing::sampleE02({{"CONTRIBUINTE", "LOJA\x1b[2J"}});
  const std::string hostile = dir.file("tela\x1b[31m.txt"), latin1 = dir.file("nota\xe7\xe3o.txt"),
                    han = dir.file("caixa\xe5\x90\x8d.txt"), latin1Shown = dir.file("nota\\xE7\\xE3o.txt");
  for (const std::string& file : {hostile, latin1, han}) testing::writeFile(file, testing::joinLines(lines));
  const struct {
    int (*command)(const Args&);
    Args args;
    std::string shown;
  } cases[] = {
      {runValidar, {hostile}, "Nome do contribuinte:     LOJA\\x1B[2J"},
      {runIndicios, {hostile, latin1}, dir.file("tela\\x1B[31m.txt") + "\n"},
      {runIndicios, {hostile, latin1}, "\\x1B[31m.txt têm as mesmas reduções Z"},
      {runExportarMdb, {hostile, dir.file("mdb\x1b[2J")}, "Arquivo salvo no caminho:\n" + dir.file("mdb\\x1B[2J")},
  };
  for (const auto& c : cases) {
    const testing::CliOutcome o = runCaptured(c.command, c.args);
    EXPECT_EQ((o.out + o.err).find('\x1b'), std::string::npos) << o.out << o.err;
    EXPECT_NE(o.out.find(c.shown), std::string::npos) << c.shown << "\n" << o.out;
  }
  const auto doc = nlohmann::json::parse(runCaptured(runIndicios, {latin1, hostile, "--json"}).out);
  for (const auto& named : {doc["arquivos"][0], doc["ecfs"][0]["arquivos"][0]}) {
    EXPECT_EQ(named["arquivo"], latin1Shown);
    EXPECT_EQ(testing::bytesFromHex(named.value("arquivo_bytes", "")), latin1);
  }
  EXPECT_NE(doc["ecfs"][0]["indicios"][0]["mensagem"].get<std::string>().find(latin1Shown), std::string::npos);
  EXPECT_NE(runCaptured(runIndicios, {latin1, "--csv"}).out.find("\n" + latin1Shown + ";"), std::string::npos);
  ASSERT_EQ(runCaptured(runValidar, {latin1, han, "--resumo", dir.file("r.csv")}).status, 0);
  const std::string summary = testing::readFile(dir.file("r.csv"));
  for (const std::string& name : {latin1Shown, dir.file("caixa\\xE5\\x90\\x8D.txt")})
    EXPECT_NE(summary.find("\n" + name + ";TDM;"), std::string::npos) << summary;
}

TEST(CliNamesShown, TerminalTextKeepsLineEndsAndShowsEveryOtherControlByte) {
  const std::pair<std::string, std::string> cases[] = {
      {"a\r\nb\n", "a\nb\n"}, {"a\rb\r\r\n", "a\\x0Db\\x0D\n"}, {std::string("\x1b[2J\0\xe7", 6), "\\x1B[2J\\x00ç"},
      {"\x81\t", "\\x81\\x09"}};
  for (const auto& [cp1252, shown] : cases) EXPECT_EQ(terminalText(cp1252), shown);
}

}  // namespace
}  // namespace tavex::cli
