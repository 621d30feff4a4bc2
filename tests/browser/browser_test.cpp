// Audit reports opened in a real browser (headless Chromium): the rendered page
// against tavex-cli validar --json of the same files, a hostile file whose texts
// must stay text, and the page printed to PDF (pages and text of the title block).
// Chromium and poppler-utils are installed by tools/dependencies.sh: these tests
// fail, never skip, without them.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <regex>

#include <nlohmann/json.hpp>

#include "support/files.h"
#include "support/sample_files.h"

namespace tavex::testing {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

std::string quoted(const std::string& s) { return "'" + std::regex_replace(s, std::regex("'"), "'\\''") + "'"; }

// Runs a shell command; answers its standard output and puts its status in `status`.
std::string capture(const std::string& command, int* status = nullptr) {
  std::string out;
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  std::vector<char> buffer(1 << 16);
  for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;) out.append(buffer.data(), n);
  const int rc = ::pclose(pipe);
  if (status != nullptr) *status = rc;
  return out;
}

const std::string kCli = std::string(TAVEX_BINARY_DIR) + "/bin/tavex-cli";

class Browser : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(std::system("command -v chromium >/dev/null && command -v pdftotext >/dev/null && command -v pdfinfo >/dev/null"), 0)
        << "chromium and poppler-utils are needed (tools/dependencies.sh installs them)";
  }
  // Chromium headless with a profile of its own; as root it needs --no-sandbox.
  std::string chromium(const std::string& arguments) {
    return "timeout 90 chromium --headless --disable-gpu --no-sandbox --no-first-run --user-data-dir=" +
           quoted(dir.file("perfil")) + " " + arguments;
  }
  std::string dumpDom(const std::string& html) {
    int status = -1;
    const std::string dom = capture(chromium("--dump-dom " + quoted("file://" + html)) + " 2>/dev/null", &status);
    EXPECT_EQ(status, 0);
    return dom;
  }
  // tavex-cli relatorio in `dir`; answers the page's path.
  std::string report(const std::string& arguments) {
    const std::string page = dir.file("relatorio.html");
    capture("cd " + quoted(dir.path().string()) + " && " + quoted(kCli) + " relatorio " + arguments + " --saida " +
            quoted(page) + " 2>/dev/null");
    EXPECT_TRUE(fs::exists(page));
    return page;
  }
  void copyExample(const std::string& name, const std::string& to) {
    writeFile(dir.file(to), readFile(std::string(TAVEX_SOURCE_DIR) + "/exemplos/" + name));
  }
  TempDir dir;
};

std::size_t count(const std::string& text, const std::regex& pattern) {
  return static_cast<std::size_t>(std::distance(std::sregex_iterator(text.begin(), text.end(), pattern), std::sregex_iterator()));
}

// The part of the page of file section `n` (1-based).
std::string section(const std::string& dom, std::size_t n) {
  const std::size_t from = dom.find("<section class=\"arquivo\" id=\"arquivo-" + std::to_string(n) + "\"");
  if (from == std::string::npos) return "";
  const std::size_t to = dom.find("<section class=\"arquivo\" id=\"arquivo-" + std::to_string(n + 1) + "\"");
  return dom.substr(from, to == std::string::npos ? std::string::npos : to - from);
}

TEST_F(Browser, TheRenderedPageHoldsWhatTheJsonOutputSays) {
  fs::create_directories(dir.path() / "lote");
  for (const char* name : {"tdm_item_divergente.txt", "tdm_coo_faltante.txt", "formato_com_erros.txt", "mf_valido.txt"})
    copyExample(name, std::string("lote/") + name);
  const std::string dom = dumpDom(report("lote --tolerancia 0,00"));
  const json documents = json::parse(capture("cd " + quoted(dir.path().string()) + " && " + quoted(kCli) +
                                             " validar lote --json --tolerancia 0,00 2>/dev/null"))["arquivos"];
  ASSERT_EQ(documents.size(), 4u);
  ASSERT_NE(dom.find("Relatório de auditoria"), std::string::npos);
  EXPECT_NE(dom.find("tabindex=\"0\""), std::string::npos) << "the page's own script ran (sortable summary)";

  for (std::size_t i = 0; i < documents.size(); ++i) {
    const json& doc = documents[i];
    SCOPED_TRACE(doc["arquivo"].get<std::string>());
    const std::string part = section(dom, i + 1);
    ASSERT_FALSE(part.empty());
    const int errors = doc["contagens"]["erros"], warnings = doc["contagens"]["avisos"];
    EXPECT_NE(part.find("data-erros=\"" + std::to_string(errors) + "\" data-avisos=\"" + std::to_string(warnings) + "\""),
              std::string::npos);
    EXPECT_NE(part.find("<td class=\"n erros\">" + std::to_string(errors) + "</td><td class=\"n avisos\">" +
                        std::to_string(warnings) + "</td></tr></tfoot>"),
              std::string::npos);
    const std::regex summaryRow("<tr data-arquivo=\"" + std::to_string(i + 1) + "\">.*?data-valor=\"" + std::to_string(errors) +
                                "\".*?data-valor=\"" + std::to_string(warnings) + "\"");
    EXPECT_EQ(count(dom, summaryRow), 1u);

    // Every finding, by code and line.
    EXPECT_EQ(count(part, std::regex("<li class=\"achado")), doc["achados"].size());
    for (const json& f : doc["achados"]) {
      const std::string line = f["linha"].is_null() ? "0" : std::to_string(f["linha"].get<int>());
      EXPECT_NE(part.find("data-codigo=\"" + f["codigo"].get<std::string>() + "\" data-linha=\"" + line + "\""), std::string::npos)
          << f["codigo"] << " " << line;
    }
    // One bar per reduction.
    const std::size_t reductions = doc["conciliacao"].is_null() ? 0 : doc["conciliacao"]["reducoes"].size();
    EXPECT_EQ(count(part, std::regex("<rect class=\"barra")), reductions);
  }
}

TEST_F(Browser, HostileTextsAreShownAsTextAndRunNothing) {
  std::vector<std::string> lines = sampleTdmFile();
  lines[1] = sampleE02({{"CONTRIBUINTE", "<img src=x onerror=alert(1)>\"'&"}});
  // The item's description holds a script and bytes no text should have; its product
  // code is blank, so the page cites the record.
  for (std::string& line : lines)
    if (line.starts_with("E15")) {
      std::string description = "<script>document.body.setAttribute('data-invadido','1')</script>\x01\x1b\x81\xe9";
      description.resize(100, ' ');
      line.replace(61, 14, std::string(14, ' '));
      line.replace(75, 100, description);
    }
  writeFile(dir.file("hostil.txt"), joinLines(lines));
  const std::string dom = dumpDom(report("hostil.txt"));
  ASSERT_NE(dom.find("Relatório de auditoria"), std::string::npos);
  EXPECT_EQ(dom.find("<body data-invadido"), std::string::npos);
  EXPECT_EQ(count(dom, std::regex("<img")), 0u);
  EXPECT_EQ(count(dom, std::regex("<script")), 1u);
  EXPECT_NE(dom.find("&lt;script&gt;document.body.setAttribute('data-invadido','1')&lt;/script&gt;"), std::string::npos);
  EXPECT_NE(dom.find("&lt;img src=x onerror=alert(1)&gt;\"'&amp;"), std::string::npos);
  EXPECT_NE(dom.find("<span class=\"ctl\">1B</span><span class=\"ctl\">81</span>é"), std::string::npos);
}

TEST_F(Browser, ThePagePrintsToA4PagesHoldingTheTitleBlock) {
  fs::create_directories(dir.path() / "lote");
  copyExample("tdm_item_divergente.txt", "lote/a.txt");
  copyExample("mf_valido.txt", "lote/b.txt");
  const std::string page = report("lote");
  const std::string pdf = dir.file("relatorio.pdf");
  int status = -1;
  capture(chromium("--no-pdf-header-footer --print-to-pdf=" + quoted(pdf) + " " + quoted("file://" + page)) +
              " >/dev/null 2>&1",
          &status);
  ASSERT_EQ(status, 0);
  const std::string info = capture("pdfinfo " + quoted(pdf));
  std::smatch m;
  ASSERT_TRUE(std::regex_search(info, m, std::regex(R"(Pages:\s+(\d+))"))) << info;
  const int pages = std::stoi(m[1]);
  EXPECT_GE(pages, 3) << "summary and each file on pages of their own";
  EXPECT_LE(pages, 8);
  EXPECT_NE(info.find(" pts (A4)"), std::string::npos) << info;
  const std::string text = capture("pdftotext -layout " + quoted(pdf) + " -");
  for (const char* expected : {"Relatório de auditoria", "Resumo dos arquivos", "TX000000000000000001", "TAVEX / TAVEX SIM 1",
                               "11.222.333/0001-81", "COMERCIO DE TESTES LTDA", "02/01/2012 a 03/01/2012", "SHA-256",
                               "Versão do Tavex", "Página 1 de", "Conciliação das reduções Z"})
    EXPECT_NE(text.find(expected), std::string::npos) << expected;
  const std::string sha = capture("sha256sum " + quoted(dir.file("lote/a.txt")) + " | cut -c1-64");
  EXPECT_NE(text.find(sha.substr(0, 64)), std::string::npos);
}

}  // namespace
}  // namespace tavex::testing
