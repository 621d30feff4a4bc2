// The browser workbench's server in process: who gets in, which names reach the
// file system, the pages' JSON of a validated file (golden), uploads and tasks.
#include <gtest/gtest.h>

#include <filesystem>

#include "server/served_folder.h"
#include "server/validation_pool.h"
#include "support/files.h"
#include "support/sample_files.h"
#include "support/workbench.h"

namespace tavex::testing {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// A TDM whose reduction declares R$ 2,00 more than its documents and whose coupon
// has letters in its customer's CNPJ; its taxpayer's name is markup.
std::vector<std::string> flawedTdm() {
  std::vector<std::string> lines = sampleTdmFile();
  for (std::string& l : lines) {
    if (l.starts_with("E02")) l = sampleE02({{"CONTRIBUINTE", "<img src=x onerror=alert(1)>"}});
    if (l.starts_with("E12")) l = sampleRecord(12, {{"CRZ", "1"}, {"COO", "3"}, {"VENDA_BRUTA_DIARIA", "1200"}});
  }
  return lines;
}

class WorkbenchServer : public ::testing::Test {
 protected:
  WorkbenchServer() {
    fs::create_directory(dir.path() / "sub");
    writeFile(dir.file("sub/tdm.txt"), joinLines(flawedTdm()));
    writeFile(outside.file("segredo.txt"), joinLines(sampleTdmFile()));
    fs::create_symlink(outside.file("segredo.txt"), dir.file("fora.txt"));
  }
  TempDir dir, outside;
  Workbench bench{dir.path().string()};
};

TEST_F(WorkbenchServer, AdmitsOnlyTheTokenTheSessionAndItsOwnHost) {
  const auto statusOf = [&](const std::string& path, const httplib::Headers& headers) {
    auto res = bench.client().Get(path, headers);
    return res ? res->status : -1;
  };
  auto entry = bench.client().Get(std::string("/?token=") + kWorkbenchToken);
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->status, 303);
  const std::string setCookie = entry->get_header_value("Set-Cookie");
  EXPECT_NE(setCookie.find("HttpOnly"), std::string::npos);
  EXPECT_NE(setCookie.find("SameSite=Strict"), std::string::npos);
  const std::string cookie = setCookie.substr(0, setCookie.find(';'));
  const struct {
    const char* what;
    std::string path;
    httplib::Headers headers;
    int status;
  } cases[] = {
      {"no session", "/api/arquivos", {}, 403},
      {"no session, the page", "/", {}, 403},
      {"a wrong token", "/?token=errado", {}, 403},
      {"a forged cookie", "/api/arquivos", {{"Cookie", "tavex_sessao=0123"}}, 403},
      {"the session", "/api/arquivos", {{"Cookie", cookie}}, 200},
      {"the session, the page", "/", {{"Cookie", cookie}}, 200},
      {"another host name", "/api/arquivos", {{"Cookie", cookie}, {"Host", "atacante.example:80"}}, 403},
  };
  for (const auto& c : cases) EXPECT_EQ(statusOf(c.path, c.headers), c.status) << c.what;
  auto page = bench.client().Get("/", {{"Cookie", cookie}});
  EXPECT_NE(page->get_header_value("Content-Security-Policy").find("default-src 'none'"), std::string::npos);
}

TEST_F(WorkbenchServer, ChangesNeedTheSessionsCsrfToken) {
  bench.signIn();
  const struct {
    const char* what;
    std::string token;
    int status;
  } cases[] = {{"none", "", 403}, {"another", std::string(bench.csrf.size(), 'a'), 403}, {"its own", bench.csrf, 200}};
  for (const auto& c : cases) {
    httplib::Headers headers = {{"Cookie", bench.cookie}};
    if (!c.token.empty()) headers.emplace("X-CSRF-Token", c.token);
    auto res = bench.client().Post("/api/validar?nome=sub/tdm.txt", headers, "", "text/plain");
    EXPECT_EQ(res ? res->status : -1, c.status) << c.what;
  }
}

TEST_F(WorkbenchServer, OnlyNamesInsideTheFolderReachTheFileSystem) {
  bench.signIn();
  const struct {
    std::string name;
    bool served;
  } cases[] = {
      {"sub/tdm.txt", true},       {"../segredo.txt", false},  {outside.file("segredo.txt"), false},
      {"sub/../../x", false},      {"fora.txt", false},        {"sub\\tdm.txt", false},
      {"CON", false},              {"nul.txt", false},         {"sub/com1.log", false},
      {"", false},                 {"sub//tdm.txt", false},    {"./sub/tdm.txt", false},
  };
  const server::ServedFolder folder(dir.path().string());
  for (const auto& c : cases) {
    EXPECT_EQ(folder.fileOf(c.name).has_value(), c.served) << c.name;
    auto res = bench.post("/api/validar?nome=" + httplib::detail::encode_query_param(c.name));
    EXPECT_EQ(res ? res->status : -1, c.served ? 200 : 404) << c.name;
  }
  const json list = bench.getJson("/api/arquivos");
  ASSERT_EQ(list.size(), 1u) << list.dump();  // the link out of the folder is not listed
  EXPECT_EQ(list[0]["nome"], "sub/tdm.txt");
}

// Every JSON shape of a validated file, as the pages receive it.
TEST_F(WorkbenchServer, ValidatedFilePagesMatchGoldenFile) {
  bench.signIn();
  ASSERT_EQ(bench.validate("sub/tdm.txt")["estado"], "concluída");
  json summary = bench.getJson("/api/resumo?nome=sub/tdm.txt");
  summary.erase("segundos");
  const json findings = bench.getJson("/api/achados?nome=sub/tdm.txt&por_pagina=2");
  ASSERT_FALSE(findings["linhas"].empty());
  const int line = findings["linhas"][0]["linha"];
  const json pages = {
      {"arquivos", bench.getJson("/api/arquivos")},
      {"resumo", summary},
      {"achados", findings},
      {"so_erros_com_busca", bench.getJson("/api/achados?nome=sub/tdm.txt&gravidade=erro&busca=venda%20BRUTA%20DI%C3%81RIA")},
      {"so_avisos", bench.getJson("/api/achados?nome=sub/tdm.txt&gravidade=aviso")},
      {"achado_0", bench.getJson("/api/achado?nome=sub/tdm.txt&indice=0")},
      {"registro", bench.getJson("/api/registro?nome=sub/tdm.txt&linha=" + std::to_string(line))},
      {"indicios", bench.getJson("/api/indicios?nome=sub/tdm.txt")},
      {"conciliacao", bench.getJson("/api/conciliacao?nome=sub/tdm.txt")},
  };
  expectMatchesGolden(pages.dump(1) + "\n", "server/golden/tdm_pages.json");
  auto report = bench.get("/api/relatorio?nome=sub/tdm.txt&baixar=1");
  ASSERT_TRUE(report);
  EXPECT_NE(report->body.find("&lt;img src=x"), std::string::npos);
  EXPECT_EQ(report->body.find("<img src=x"), std::string::npos);
  EXPECT_NE(report->get_header_value("Content-Disposition").find("attachment"), std::string::npos);
  EXPECT_EQ(report->get_header_value_count("Content-Security-Policy"), 1u);
  EXPECT_NE(report->get_header_value("Content-Security-Policy").find("sandbox allow-scripts"), std::string::npos);
}

TEST_F(WorkbenchServer, UploadIsWrittenWholeOrNotAtAll) {
  server::ServerOptions small;
  small.uploadLimit = 4096;
  Workbench limited(dir.path().string(), small);
  limited.signIn();
  const std::string cotepe = joinLines(sampleMfFile());
  ASSERT_LT(cotepe.size(), small.uploadLimit);
  const struct {
    const char* name;
    std::string body;
    int status;
  } cases[] = {
      {"mf.txt", cotepe, 201},
      {"mf.txt", cotepe, 409},  // never replaces a file of the folder
      {"grande.txt", cotepe + std::string(small.uploadLimit, 'x'), 413},
      {"texto.txt", "nada de E01 aqui", 415},
      {"../fora.txt", cotepe, 400},
      {"sub/dentro.txt", cotepe, 400},
  };
  for (const auto& c : cases) {
    auto res = limited.post(std::string("/api/envio?nome=") + httplib::detail::encode_query_param(c.name), c.body);
    EXPECT_EQ(res ? res->status : -1, c.status) << c.name;
  }
  EXPECT_EQ(readFile(dir.file("mf.txt")), cotepe);
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir.path())) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"fora.txt", "mf.txt", "sub"}));  // nothing partial left
}

TEST(ValidationPool, CancelledTasksLeaveNoResults) {
  TempDir dir;
  for (const char* name : {"a.txt", "b.txt"}) writeFile(dir.file(name), joinLines(sampleTdmFile()));
  server::ValidationPool pool(1, 4, 4);
  const auto first = pool.submit("a.txt", dir.file("a.txt"), 0, false);
  const auto second = pool.submit("b.txt", dir.file("b.txt"), 0, false);
  ASSERT_TRUE(first && second);
  EXPECT_EQ(pool.submit("a.txt", dir.file("a.txt"), 0, false), first);  // the same task, not a second run
  EXPECT_TRUE(pool.cancel(*second));
  EXPECT_FALSE(pool.cancel(*second));
  EXPECT_EQ(pool.task(*second)->state, server::TaskState::Cancelled);
  while (pool.task(*first)->state != server::TaskState::Done) std::this_thread::yield();
  EXPECT_NE(pool.results("a.txt"), nullptr);
  EXPECT_EQ(pool.results("b.txt"), nullptr);
  writeFile(dir.file("a.txt"), joinLines(sampleMfFile()));  // changed since: its results are no longer shown
  EXPECT_EQ(pool.results("a.txt"), nullptr);
}

TEST(ValidationPool, KeepsTheNewestResultsItsMemoryBudgetHolds) {
  TempDir dir;
  server::ValidationPool pool(1, 4, 4, 1);  // one byte: only the newest results stay
  for (const char* name : {"a.txt", "b.txt"}) {
    writeFile(dir.file(name), joinLines(sampleTdmFile()));
    const auto id = pool.submit(name, dir.file(name), 0, false);
    while (pool.task(*id)->state != server::TaskState::Done) std::this_thread::yield();
  }
  EXPECT_EQ(pool.results("a.txt"), nullptr);
  EXPECT_NE(pool.results("b.txt"), nullptr);
}

}  // namespace
}  // namespace tavex::testing
