// tavex-cli relatorio, in-process in a folder of its own (the catalogue of the
// current folder decides the signature's verdict): the page of an example file
// against its golden copy, a batch with a file it could not take, the exit status,
// the EAD verdict with and without the maker's key.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "cli/commands.h"
#include "printer/library_support.h"
#include "signature/signing_helpers.h"
#include "support/cli_capture.h"
#include "support/files.h"
#include "support/generated_lines.h"
#include "support/resource_limits.h"
#include "tavex_version.h"

namespace tavex::testing {
namespace {

namespace fs = std::filesystem;

// Runs "tavex-cli relatorio ARGS..." in `dir`; answers the outcome and the page.
struct Report {
  CliOutcome outcome;
  std::string html;
};
Report relatorio(const TempDir& dir, cli::Args args) {
  CurrentDirectoryGuard cwd;
  fs::current_path(dir.path());
  args.insert(args.end(), {"--saida", "relatorio.html"});
  Report r{runCaptured(cli::runRelatorio, args), {}};
  if (fs::exists(dir.path() / "relatorio.html")) r.html = readFile(dir.file("relatorio.html"));
  return r;
}

// The page with the moment it was written and the version made constant.
std::string normalised(std::string html) {
  html = std::regex_replace(html, std::regex(R"(\d\d/\d\d/\d{4} \d\d:\d\d)"), "DD/MM/AAAA HH:MM");
  for (std::size_t at = html.find(kVersion); at != std::string::npos; at = html.find(kVersion, at))
    html.replace(at, std::string_view(kVersion).size(), "VERSAO");
  return html;
}

std::string example(const std::string& name) { return readFile(std::string(TAVEX_SOURCE_DIR) + "/exemplos/" + name); }

TEST(Relatorio, TheReportOfAnExampleFileMatchesItsGoldenCopy) {
  TempDir dir;
  writeFile(dir.file("tdm_item_divergente.txt"), example("tdm_item_divergente.txt"));
  const Report r = relatorio(dir, {"tdm_item_divergente.txt", "--tolerancia", "0,00"});
  EXPECT_EQ(r.outcome.status, cli::kFound) << r.outcome.err;
  EXPECT_TRUE(fs::exists(dir.file("tdm_item_divergente.txt.log"))) << "validated as validar does";
  expectMatchesGolden(normalised(r.html), "report/golden/tdm_item_divergente.html");
}

TEST(Relatorio, IndicatorsFollowTheVerdictAlertsFirstWithTheirRecords) {
  TempDir dir;
  const std::string file = example("tdm_indicios.txt");
  writeFile(dir.file("tdm_indicios.txt"), file);
  const Report r = relatorio(dir, {"tdm_indicios.txt"});
  EXPECT_EQ(r.outcome.status, cli::kOk) << "indicators do not change the validation's status";
  const std::string& html = r.html;
  const std::size_t verdict = html.find("<section class=\"veredito\">");
  const std::size_t section = html.find("<h3>Indícios (1 alerta, 3 informações)</h3>");
  const std::size_t reconciliation = html.find("<section class=\"conciliacao\">");
  ASSERT_NE(section, std::string::npos) << html;
  EXPECT_LT(verdict, section);
  EXPECT_LT(section, reconciliation);
  const std::size_t alert = html.find("<li class=\"indicio alerta\" data-codigo=\"indicio.contadores.e11\" data-linha=\"12\">");
  const std::size_t info = html.find("<li class=\"indicio informacao\"");
  ASSERT_NE(alert, std::string::npos);
  EXPECT_LT(alert, info);
  // The E11 line itself, as the file has it.
  std::size_t start = 0;
  for (int line = 1; line < 12; ++line) start = file.find('\n', start) + 1;
  const std::string e11 = file.substr(start, file.find('\r', start) - start);
  EXPECT_NE(html.find("<pre class=\"registro\">" + e11 + "</pre>", alert), std::string::npos);
}

TEST(Relatorio, ABatchHasASummaryRowPerFileAndSaysWhatItCouldNotTake) {
  TempDir dir;
  fs::create_directories(dir.path() / "lote" / "sub");
  writeFile(dir.file("lote/valido.txt"), example("tdm_valido.txt"));
  writeFile(dir.file("lote/sub/coo.txt"), example("tdm_coo_faltante.txt"));
  writeFile(dir.file("texto.txt"), "não é COTEPE\n");
  const Report r = relatorio(dir, {"lote", "texto.txt", "ausente.txt"});
  EXPECT_EQ(r.outcome.status, cli::kCannotRun);
  EXPECT_NE(r.outcome.err.find("texto.txt"), std::string::npos);
  EXPECT_NE(r.outcome.err.find("ausente.txt"), std::string::npos);
  const std::string html = normalised(r.html);
  std::size_t rows = 0;
  for (std::size_t at = html.find("<tr data-arquivo="); at != std::string::npos; at = html.find("<tr data-arquivo=", at + 1)) ++rows;
  EXPECT_EQ(rows, 4u);
  EXPECT_NE(html.find("<a href=\"#arquivo-1\">lote/sub/coo.txt</a>"), std::string::npos) << "the batch's order";
  EXPECT_NE(html.find("<a href=\"#arquivo-2\">lote/valido.txt</a>"), std::string::npos);
  EXPECT_NE(html.find("<td class=\"n erros\" data-valor=\"5\">5</td>"), std::string::npos);
  EXPECT_NE(html.find("<section class=\"arquivo\" id=\"arquivo-4\""), std::string::npos);
  EXPECT_NE(html.find("Arquivo não validado"), std::string::npos);

  // Only the files it could not take: still a page, and the status says so.
  EXPECT_EQ(relatorio(dir, {"ausente.txt"}).outcome.status, cli::kCannotRun);
  EXPECT_EQ(relatorio(dir, {"lote/valido.txt"}).outcome.status, cli::kOk);
}

// Months of one ECF, February missing and a copy of January with one reduction
// rewritten: the summary groups them under their ECF with a coverage line.
TEST(Relatorio, TheSummaryGroupsTheFilesByEcfWithTheirCoverage) {
  TempDir dir;
  GeneratorOptions options;
  options.kind = FileKind::MF;
  options.reductions = 90;
  const std::vector<std::string> all = generatedLines(options);
  std::vector<std::string> copy = reductionsOf(all, 1, 30);
  for (std::string& line : copy)
    if (line.starts_with("E12") && leadingInt(fieldOf(line, E12::Crz)) == 7)
      line.replace(static_cast<std::size_t>(fieldLayout(E12::Cro).start - 1), 4, "0009");
  writeFile(dir.file("janeiro.txt"), joinLines(reductionsOf(all, 1, 30)));
  writeFile(dir.file("marco.txt"), joinLines(reductionsOf(all, 61, 90)));
  writeFile(dir.file("copia.txt"), joinLines(copy));
  const Report r = relatorio(dir, {"marco.txt", "janeiro.txt", "copia.txt"});
  EXPECT_EQ(r.outcome.status, cli::kOk) << r.outcome.err;
  const std::string& html = r.html;
  const std::size_t ecf = html.find("<div class=\"ecf\">\n<h3>ECF TX000000000000000001");
  ASSERT_NE(ecf, std::string::npos) << html;
  EXPECT_LT(ecf, html.find("<section class=\"arquivo\""));
  EXPECT_NE(html.find("<p class=\"cobertura\">CRZ 000001 a 000030 e 000061 a 000090 (60 redução(ões) Z); faltam "
                      "000031 a 000060</p>"),
            std::string::npos);
  EXPECT_NE(html.find("<p class=\"divergem\">Arquivos que divergem: copia.txt, janeiro.txt</p>"), std::string::npos);
  EXPECT_NE(html.find("data-codigo=\"indicio.arquivos.lacuna\""), std::string::npos);
  // The files in CRZ order, then by name.
  const std::size_t list = html.find("<ol class=\"arquivos-ecf\">");
  EXPECT_LT(html.find("copia.txt</a></li>", list), html.find("janeiro.txt</a></li>", list));
  EXPECT_LT(html.find("janeiro.txt</a></li>", list), html.find("marco.txt</a></li>", list));
}

// The example pair: the ECF's block reconciles the MF with the MFD, the coupon taken
// out of the MFD over the tolerance on its reduction (CRZ 2) only, each row citing
// the file and line of its declared value and of the documents summed.
TEST(Relatorio, TheEcfBlockShowsItsMfAgainstItsMfdWithTheRemovedCouponsReductionOver) {
  TempDir dir;
  for (const char* name : {"mf.txt", "mfd_sem_cupom.txt"})
    fs::copy_file(fs::path(TAVEX_SOURCE_DIR) / "exemplos" / "uma_ecf" / name, dir.path() / name);
  const Report r = relatorio(dir, {"mfd_sem_cupom.txt", "mf.txt"});
  EXPECT_EQ(r.outcome.status, cli::kFound) << r.outcome.err;
  const std::size_t from = r.html.find("<section class=\"conciliacao-mf-mfd\">");
  ASSERT_NE(from, std::string::npos) << r.html;
  const std::size_t to = r.html.find("</section>", from);
  EXPECT_LT(to, r.html.find("<section class=\"arquivo\""));  // in the summary, before the files
  const std::string pair = r.html.substr(from, to - from);
  EXPECT_NE(pair.find("<h4>Conciliação MF × MFD: <a href=\"#arquivo-2\">mf.txt</a> × <a href=\"#arquivo-1\">"
                      "mfd_sem_cupom.txt</a> — 6 totais acima da tolerância</h4>"),
            std::string::npos)
      << pair;
  EXPECT_NE(pair.find("<th>Declarado em</th><th>Documentos</th>"), std::string::npos);
  EXPECT_NE(pair.find("<tr class=\"total fora\" data-crz=\"2\">"), std::string::npos);
  EXPECT_EQ(pair.find("<tr class=\"total fora\" data-crz=\"1\">"), std::string::npos);
  EXPECT_EQ(pair.find("<tr class=\"total fora\" data-crz=\"3\">"), std::string::npos);
  // E12 of reduction 2: declared at line 13 of the MF, its coupons at lines 7 to 9 of the MFD.
  EXPECT_NE(pair.find("<td class=\"origem\">MF:13</td><td class=\"origem\">MFD:7-9</td>"), std::string::npos) << pair;

  // A pair that cannot be reconciled says why, and the report is still written.
  std::string mfd = readFile(dir.file("mfd_sem_cupom.txt"));
  mfd.erase(mfd.find("\nE2"), mfd.find("\nEAD") - mfd.find("\nE2"));  // no E20 or E21: its structure fails
  writeFile(dir.file("mfd_sem_cupom.txt"), mfd);
  const Report refused = relatorio(dir, {"mf.txt", "mfd_sem_cupom.txt"});
  EXPECT_NE(refused.html.find("mfd_sem_cupom.txt</a> — não conciliados</h4>\n<p class=\"problema\">O arquivo "),
            std::string::npos)
      << refused.html.substr(refused.html.find("conciliacao-mf-mfd"), 800);
}

TEST(Relatorio, UsageErrors) {
  TempDir dir;
  CurrentDirectoryGuard cwd;
  fs::current_path(dir.path());
  EXPECT_EQ(runCaptured(cli::runRelatorio, {"x.txt"}).status, cli::kCannotRun) << "no --saida";
  EXPECT_EQ(runCaptured(cli::runRelatorio, {"--saida", "r.html"}).status, cli::kCannotRun) << "no file";
  EXPECT_EQ(runCaptured(cli::runRelatorio, {"x.txt", "--saida", "r.html", "--json"}).status, cli::kCannotRun);
  EXPECT_FALSE(fs::exists(dir.path() / "r.html"));
  const CliOutcome help = runCaptured(cli::runRelatorio, {"--help"});
  EXPECT_EQ(help.status, cli::kOk);
  EXPECT_NE(help.out.find("--saida"), std::string::npos);
}

TEST(Relatorio, AReportThatCannotBeWrittenWholeLeavesThePreviousPageAndNoDebris) {
  TempDir dir;
  writeFile(dir.file("valido.txt"), example("tdm_valido.txt"));
  const std::string previous = relatorio(dir, {"valido.txt"}).html;
  ASSERT_GT(previous.size(), 8000u);
  Report failed;
  {
    const FileSizeLimit limit(4096);  // room for the validation's log, not for the page
    failed = relatorio(dir, {"valido.txt"});
  }
  EXPECT_EQ(failed.outcome.status, cli::kCannotRun);
  EXPECT_EQ(failed.html, previous) << "the good page is not replaced by a cut one";
  EXPECT_NE(failed.outcome.err.find("tamanho máximo"), std::string::npos) << failed.outcome.err;
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path())) ++entries;
  EXPECT_EQ(entries, 3u) << "no temporary file left";
}

TEST(Relatorio, TheSignatureIsCheckedWithTheMakersKeyFromTheCatalogueOfTheCurrentFolder) {
  const TestKey* key = sharedKey(65537);
  if (key == nullptr) GTEST_SKIP() << "openssl is not available";
  TempDir dir;
  std::string content = example("tdm_valido.txt");
  content.erase(content.rfind("EAD"));
  writeFile(dir.file("assinado.txt"), withEad(content, hexText(opensslMd5Signature(*key, content))));
  std::string tampered = content;
  tampered[content.rfind("DINHEIRO")] = 'd';
  writeFile(dir.file("alterado.txt"), withEad(tampered, hexText(opensslMd5Signature(*key, content))));

  EXPECT_NE(relatorio(dir, {"assinado.txt"}).html.find("data-assinatura=\"nao_verificada\""), std::string::npos)
      << "no catalogue";

  // E01's brand is "TAVEX"; the folder's name is matched regardless of case.
  fs::create_directories(dir.path() / "Tavex");
  writeFile(dir.file("Tavex/Tavex.xml"), "<fabricante><dll><nome>lib.so</nome><chave><modulo>" + key->modulusHex +
                                             "</modulo><expoente_publico>" + key->exponentHex +
                                             "</expoente_publico></chave><modelo>TAVEX SIM 1</modelo></dll></fabricante>");
  const std::string signed_ = relatorio(dir, {"assinado.txt"}).html;
  EXPECT_NE(signed_.find("data-assinatura=\"valida\""), std::string::npos);
  EXPECT_NE(signed_.find("válida (chave de Tavex)"), std::string::npos);
  EXPECT_NE(relatorio(dir, {"alterado.txt"}).html.find("data-assinatura=\"invalida\""), std::string::npos);
}

// The examples are signed with the simulated ECF's key, whose catalogue folder is
// DATAREGIS while their E01 says TAVEX: --fabricante names the key to use, as for
// "assinatura".
TEST(Relatorio, TheNamedManufacturersKeyChecksTheSignatureOfTheExamples) {
  TempDir dir;
  fs::copy(kStagedSimulator, dir.path() / "DATAREGIS", fs::copy_options::recursive);
  writeFile(dir.file("tdm_valido.txt"), example("tdm_valido.txt"));
  writeFile(dir.file("adulterado.txt"), example("tdm_assinatura_adulterada.txt"));

  EXPECT_NE(relatorio(dir, {"tdm_valido.txt"}).html.find("data-assinatura=\"nao_verificada\""), std::string::npos)
      << "E01's brand has no folder";
  const Report valid = relatorio(dir, {"tdm_valido.txt", "--fabricante", "DATAREGIS"});
  EXPECT_EQ(valid.outcome.status, cli::kOk) << valid.outcome.err;
  EXPECT_NE(valid.html.find("data-assinatura=\"valida\""), std::string::npos);
  EXPECT_NE(valid.html.find("válida (chave de DATAREGIS)"), std::string::npos);
  // A manufacturer with one key takes any model.
  EXPECT_NE(relatorio(dir, {"tdm_valido.txt", "--fabricante", "DATAREGIS", "--modelo", "OUTRO"})
                .html.find("data-assinatura=\"valida\""),
            std::string::npos);
  EXPECT_NE(relatorio(dir, {"adulterado.txt", "--fabricante", "DATAREGIS"}).html.find("data-assinatura=\"invalida\""),
            std::string::npos);

  fs::remove(dir.file("relatorio.html"));
  Report refused = relatorio(dir, {"tdm_valido.txt", "--fabricante", "NINGUEM"});
  EXPECT_EQ(refused.outcome.status, cli::kCannotRun);
  EXPECT_NE(refused.outcome.err.find("fabricante não encontrado na pasta atual: NINGUEM"), std::string::npos);
  refused = relatorio(dir, {"tdm_valido.txt", "--modelo", "X"});
  EXPECT_EQ(refused.outcome.status, cli::kCannotRun);
  EXPECT_TRUE(refused.html.empty()) << "nothing written after a usage error";
}

}  // namespace
}  // namespace tavex::testing
