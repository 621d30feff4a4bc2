// The audit report's page from given files: escaping of everything a file holds,
// the groups and their cap, the counts by family, the marked field; and what it
// reads of a file (SHA-256, the cited records) and where it may write.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "cotepe/text.h"
#include "report/audit_report.h"
#include "report/report_file.h"
#include "support/files.h"

namespace tavex::report {
namespace {

using testing::TempDir;

std::size_t count(const std::string& haystack, const std::string& needle) {
  std::size_t n = 0;
  for (std::size_t at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + 1)) ++n;
  return n;
}

Finding finding(Severity severity, std::string_view code, int line, int recordType, int field, std::string message) {
  Finding f;
  f.severity = severity;
  f.code = code;
  f.place.line = line;
  f.place.recordType = recordType;
  f.place.field = field;
  f.message = std::move(message);
  return f;
}

ReportedFile validatedFile() {
  ReportedFile f;
  f.path = "/tmp/ecf.txt";
  f.validated = true;
  f.header = LogHeader{};
  f.size = 10;
  f.sha256 = std::string(64, 'a');
  return f;
}

const ReportOptions kOptions{"01/02/2024 10:00", "9.99", 100, {}, {}};

TEST(AuditReport, EverythingFromAFileIsShownAsTextNeverAsMarkup) {
  const std::string hostile = "<script>document.title='x'</script>\"'&\x01\x1b\x7f\x81\xe9";  // cp1252
  ReportedFile f = validatedFile();
  f.path = "/tmp/<b>\"a'&.txt";
  f.header->name = hostile;
  f.header->brandModel = hostile + " / " + hostile;
  f.findings.push_back(finding(Severity::Error, "E14.coo", 3, 14, 0, hostile));
  f.records[3] = "E14" + hostile;
  f.reconciliation = Reconciliation{};
  f.reconciliation->reductions.push_back({1, 3, hostile, 1, 2, {{TotalKind::Totalizer, hostile, 3, 1, 2, -1, false}}});
  const std::string html = auditReportHtml({f}, kOptions);

  EXPECT_EQ(count(html, "<script"), 1u) << "only the page's own script";
  EXPECT_EQ(count(html, "<b>"), 0u);
  EXPECT_GE(count(html, "&lt;script&gt;document.title=&#39;x&#39;&lt;/script&gt;&quot;&#39;&amp;"), 5u);
  EXPECT_NE(html.find("/tmp/&lt;b&gt;&quot;a&#39;&amp;.txt"), std::string::npos);
  for (const char* control : {">01<", ">1B<", ">7F<", ">81<"})
    EXPECT_NE(html.find(std::string("<span class=\"ctl\"") + control), std::string::npos) << control;
  EXPECT_NE(html.find("\xc3\xa9"), std::string::npos) << "cp1252 é as UTF-8";
  EXPECT_EQ(html.find('\x1b'), std::string::npos);
  EXPECT_EQ(html.find('\x81'), std::string::npos);
  EXPECT_NE(html.find("<meta charset=\"utf-8\">"), std::string::npos);
  EXPECT_NE(html.find("script-src 'sha256-"), std::string::npos);
}

// A file's name is whatever bytes the file system holds: the page stays UTF-8 and
// shows what is not text by its value, in the title, the heading and the summary.
TEST(AuditReport, ANameThatIsNotUtf8IsMarkedAndThePageStaysUtf8) {
  ReportedFile f = validatedFile();
  f.path = "/tmp/nota\xe7\xe3o\x1b[2J.txt";
  ReportedFile other = validatedFile();
  other.path = "/tmp/b\xff.txt";
  for (const auto& files : {std::vector<ReportedFile>{f}, std::vector<ReportedFile>{f, other}}) {
    const std::string html = auditReportHtml(files, kOptions);
    EXPECT_TRUE(isValidUtf8(html));
    EXPECT_EQ(html.find('\x1b'), std::string::npos);
    EXPECT_NE(html.find("nota<span class=\"ctl\">E7</span><span class=\"ctl\">E3</span>o<span class=\"ctl\">1B</span>[2J.txt"),
              std::string::npos);
  }
}

TEST(AuditReport, FindingsAreGroupedByFamilyAndRecordAndCappedPerGroup) {
  ReportedFile f = validatedFile();
  for (int i = 0; i < 250; ++i) f.findings.push_back(finding(Severity::Error, "E15.coo", 10 + i, 15, 0, "item"));
  f.findings.push_back(finding(Severity::Warning, "E19.cancelamento_aviso", 5, 19, 0, "aviso"));
  f.findings.push_back(finding(Severity::Error, "estrutura.ordem", 4, 6, 0, "ordem"));
  f.findings.push_back(finding(Severity::Error, "totais.e12", 2, 12, 0, "total"));
  f.errors = 252;
  f.warnings = 1;
  const std::string html = auditReportHtml({f}, {kOptions.generatedAt, kOptions.version, 100, {}, {}});

  EXPECT_EQ(count(html, "<li class=\"achado"), 103u);
  EXPECT_NE(html.find("data-omitidos=\"150\">e mais 150 achados deste tipo"), std::string::npos);
  // Families in their order, each with its own rows in the verdict.
  const std::size_t structure = html.find("<section class=\"familia\" data-familia=\"estrutura\">");
  const std::size_t content = html.find("<section class=\"familia\" data-familia=\"conteudo\">");
  const std::size_t totals = html.find("<section class=\"familia\" data-familia=\"totais\">");
  ASSERT_NE(totals, std::string::npos);
  EXPECT_LT(structure, content);
  EXPECT_LT(content, totals);
  EXPECT_NE(html.find("<tr data-familia=\"conteudo\"><td>Conteúdo</td><td class=\"n erros\">250</td><td class=\"n avisos\">1</td>"),
            std::string::npos);
  EXPECT_NE(html.find("<tr data-familia=\"estrutura\"><td>Estrutura</td><td class=\"n erros\">1</td>"), std::string::npos);
  EXPECT_NE(html.find("<tr data-familia=\"formato\"><td>Formato</td><td class=\"n erros\">0</td>"), std::string::npos);
  EXPECT_NE(html.find("<td class=\"n erros\">252</td><td class=\"n avisos\">1</td></tr></tfoot>"), std::string::npos);

  // The lines read for the page: the first 100 of the big group and the others.
  const std::vector<int> lines = listedLines(f.findings, 100);
  ASSERT_EQ(lines.size(), 103u);
  EXPECT_EQ(lines.front(), 2);
  EXPECT_EQ(lines.back(), 109);
}

// A run's findings kept only as the report lists them (the first of each group,
// the rest counted) give the same page as all of them held: the memory of a file
// with a flood of findings stays bounded.
TEST(AuditReport, FindingsKeptPerGroupWithTheirCountsGiveTheSamePage) {
  std::vector<Finding> all;
  for (int i = 0; i < 250; ++i) all.push_back(finding(Severity::Error, "E15.coo", 10 + i, 15, 0, "item"));
  for (int i = 0; i < 7; ++i) all.push_back(finding(Severity::Warning, "E19.cancelamento_aviso", 300 + i, 19, 0, "aviso"));
  all.push_back(finding(Severity::Error, "estrutura.ordem", 4, 6, 0, "ordem"));
  all.push_back(finding(Severity::Error, "E15.coo", 400, 14, 0, "outro registro"));
  ReportedFile whole = validatedFile();
  whole.findings = all;
  whole.errors = 252;
  whole.warnings = 7;
  ReportFindings sink(5);
  for (const Finding& f : all) sink.onFinding(f);
  EXPECT_EQ(sink.kept.size(), 5u + 5u + 1u + 1u);
  EXPECT_EQ(sink.tally.total, all.size());
  ReportedFile capped = whole;
  capped.findings = sink.kept;
  capped.tally = sink.tally;
  const ReportOptions options{kOptions.generatedAt, kOptions.version, 5, {}, {}};
  const std::string html = auditReportHtml({capped}, options);
  EXPECT_EQ(html, auditReportHtml({whole}, options));
  EXPECT_NE(html.find("<h3>Achados (259)</h3>"), std::string::npos);
  EXPECT_NE(html.find("data-omitidos=\"245\">e mais 245 achados deste tipo"), std::string::npos);
  EXPECT_EQ(listedLines(capped.findings, 5), listedLines(whole.findings, 5));
}

TEST(AuditReport, FamiliesOfCodes) {
  EXPECT_EQ(findingFamilyOf("estrutura.sem_ead_no_fim"), FindingFamily::Structure);
  EXPECT_EQ(findingFamilyOf("registro.tipo_desconhecido"), FindingFamily::Structure);
  EXPECT_EQ(findingFamilyOf("registro.tamanho"), FindingFamily::Format);
  EXPECT_EQ(findingFamilyOf("campo.formato_data"), FindingFamily::Format);
  EXPECT_EQ(findingFamilyOf("EAD.tamanho"), FindingFamily::Format);
  EXPECT_EQ(findingFamilyOf("EAD.sem_assinatura"), FindingFamily::Content);
  EXPECT_EQ(findingFamilyOf("E02.cnpj"), FindingFamily::Content);
  EXPECT_EQ(findingFamilyOf("documento.num_fabr"), FindingFamily::Content);
  EXPECT_EQ(findingFamilyOf("documento.total_liquido"), FindingFamily::Totals);
  EXPECT_EQ(findingFamilyOf("cupom.bruto_itens"), FindingFamily::Totals);
  EXPECT_EQ(findingFamilyOf("totais.coo_faltante"), FindingFamily::Totals);
  EXPECT_EQ(findingFamilyOf("desconhecido"), FindingFamily::Content);
}

TEST(AuditReport, TheFieldInQuestionIsMarkedWithinTheRecord) {
  ReportedFile f = validatedFile();
  // E02 field 5 (CNPJ) starts at 45, 14 wide.
  f.findings.push_back(finding(Severity::Error, "E02.cnpj", 2, 2, 5, "cnpj"));
  f.records[2] = std::string(44, 'x') + "11222333000181" + "yyy";
  // A record cut before its field: shown whole, nothing marked.
  f.findings.push_back(finding(Severity::Error, "E02.cro", 3, 2, 11, "cro"));
  f.records[3] = "E02short";
  const std::string html = auditReportHtml({f}, kOptions);
  EXPECT_NE(html.find("<pre class=\"registro\">" + std::string(44, 'x') + "<mark>11222333000181</mark>yyy</pre>"),
            std::string::npos);
  EXPECT_NE(html.find("<pre class=\"registro\">E02short</pre>"), std::string::npos);
  EXPECT_NE(html.find("linha 2, campo 5 (CNPJ):"), std::string::npos);
}

TEST(AuditReport, TheChartHasOneBarPerReductionAndTheBatchASortableSummary) {
  ReportedFile f = validatedFile();
  f.reconciliation = Reconciliation{};
  f.reconciliation->toleranceCents = 5;
  for (int crz = 1; crz <= 7; ++crz)
    f.reconciliation->reductions.push_back(
        {crz, crz, "2012010" + std::to_string(crz), crz, crz, {{TotalKind::GrossSales, "", crz, 100, 100 - crz, crz, crz <= 5}}});
  ReportedFile unread;
  unread.path = "perdido.txt";
  unread.problem = "o arquivo não existe";
  const std::string html = auditReportHtml({f, unread}, kOptions);
  EXPECT_EQ(count(html, "<rect class=\"barra"), 7u);
  EXPECT_EQ(count(html, "<rect class=\"barra fora"), 2u);
  EXPECT_EQ(count(html, "<tr class=\"total fora\""), 2u);
  EXPECT_NE(html.find("<rect class=\"faixa\""), std::string::npos);
  // The scale beside the bars and the days under them, in Brazilian form.
  EXPECT_NE(html.find("<div class=\"eixo-y\"><span class=\"topo\">+0,07</span><span class=\"meio\">0,00</span>"
                      "<span class=\"base\">-0,07</span></div>"),
            std::string::npos);
  EXPECT_EQ(count(html, "<div class=\"eixo-x\">"), 1u);
  EXPECT_NE(html.find(">01/01</span>"), std::string::npos);
  EXPECT_NE(html.find(">07/01</span>"), std::string::npos);
  EXPECT_NE(html.find("<table class=\"resumo ordenavel\">"), std::string::npos);
  EXPECT_EQ(count(html, "<tr data-arquivo="), 2u);
  EXPECT_NE(html.find("não validado: o arquivo não existe"), std::string::npos);
}

TEST(AuditReport, AYearOfReductionsNamesAboutSixteenDaysUnderItsChart) {
  ReportedFile f = validatedFile();
  f.reconciliation = Reconciliation{};
  for (int crz = 1; crz <= 365; ++crz)
    f.reconciliation->reductions.push_back({crz, crz, "20120101", crz, crz, {{TotalKind::GrossSales, "", crz, 100, 100, 0, true}}});
  const std::string html = auditReportHtml({f}, kOptions);
  const std::size_t axis = html.find("<div class=\"eixo-x\">");
  ASSERT_NE(axis, std::string::npos);
  const std::size_t named = count(html.substr(axis, html.find("</div>", axis) - axis), "<span");
  EXPECT_GE(named, 12u);
  EXPECT_LE(named, 17u);
}

TEST(AuditReport, SumsCutShortByAFormatErrorAreMarkedIncomplete) {
  ReportedFile f = validatedFile();
  f.reconciliation = Reconciliation{};
  f.reconciliation->reductions.push_back({1, 12, "20120102", 1, 3, {{TotalKind::GrossSales, "", 12, 100, 0, 100, false}}});
  EXPECT_EQ(auditReportHtml({f}, kOptions).find("Somas incompletas"), std::string::npos);
  f.reconciliation->complete = false;
  f.reconciliation->switchedOffAtLine = 14;
  EXPECT_NE(auditReportHtml({f}, kOptions)
                .find("<p class=\"nota incompleta\">Somas incompletas. As verificações de conteúdo foram desligadas a "
                      "partir da linha 14 por um erro de formato: corrija-o primeiro; os valores calculados a partir "
                      "dessa linha não são fatos.</p>"),
            std::string::npos);
}

TEST(ReportFile, OneReadGivesSizeDigestAndTheCitedRecords) {
  TempDir dir;
  const std::string path = dir.file("f.txt");
  testing::writeFile(path, "abc");
  ReportedFile f;
  f.path = path;
  readFileFacts(f, 100);
  EXPECT_EQ(f.size, 3u);
  EXPECT_EQ(f.sha256, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");

  testing::writeFile(path, "E01 first\r\nE02 second\r\nE03 third\nE04 last, no line end");
  f.findings = {finding(Severity::Error, "x", 2, 2, 0, ""), finding(Severity::Error, "x", 4, 4, 0, ""),
                finding(Severity::Error, "x", 9, 4, 0, "")};
  readFileFacts(f, 100);
  EXPECT_EQ(f.records.size(), 2u);
  EXPECT_EQ(f.records[2], "E02 second");
  EXPECT_EQ(f.records[4], "E04 last, no line end");

  ReportedFile missing;
  missing.path = dir.file("nada.txt");
  readFileFacts(missing, 100);
  EXPECT_FALSE(missing.size);
  EXPECT_TRUE(missing.sha256.empty());
}

TEST(ReportFile, TheReportIsNeverWrittenThroughASymbolicLink) {
  TempDir dir;
  const std::string target = dir.file("alvo.html");
  testing::writeFile(target, "keep");
  std::filesystem::create_symlink(target, dir.file("link.html"));
  EXPECT_FALSE(writeAuditReport(dir.file("link.html"), {}, kOptions).empty());
  EXPECT_EQ(testing::readFile(target), "keep");
  EXPECT_EQ(writeAuditReport(dir.file("novo.html"), {}, kOptions), "");
  EXPECT_NE(testing::readFile(dir.file("novo.html")).find("Nenhum arquivo COTEPE encontrado."), std::string::npos);
}

}  // namespace
}  // namespace tavex::report
