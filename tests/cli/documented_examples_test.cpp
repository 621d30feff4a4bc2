// Every command that the README, the auditors' guide and the manual pages show is
// run as a reader would type it, in a copy of the example folders, and must end
// with the exit status and print the line the table below expects. A command
// shown in the documentation but missing from the table fails, and so does a row
// whose command no longer appears in its document.
//
// What counts as a shown command: a line inside a fenced block, or indented by
// four spaces or more, whose first word (after a "$ " prompt) is a program
// (kPrograms). A line with a placeholder (ARQUIVO, PASTA, ...) or an optional part
// (" [") is a synopsis and is not run. Commands of one document run one after another in one folder, as in a
// shell: a "cd" moves the later ones.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/files.h"

namespace tavex {
namespace {

namespace fs = std::filesystem;

struct Example {
  const char* document;  // relative to the source tree
  const char* command;   // as the document shows it, without a trailing "# comment"
  int status;            // the exit status
  const char* output;    // a text the output (standard output and error) contains; "" for none
};

// The documents and the folder their commands start in: the source tree (README,
// with exemplos/ and build/exemplos/) or the example start folder (the others).
const char* const kDocuments[] = {"README.md", "docs/manual.md", "docs/tavex-cli.1.md", "docs/tavex.1.md"};

// clang-format off
const Example kExamples[] = {
    {"README.md", "tavex-cli validar exemplos/ --jobs 2 --resumo resumo.csv", 1, "0 não validado(s), 0 interrompido(s)."},
    {"README.md", "tavex-cli indicios exemplos/tdm_indicios.txt", 1, "4 indício(s): 1 alerta(s), 3 informação(ões)"},
    {"README.md", "tavex-cli conciliar exemplos/uma_ecf/mf.txt exemplos/uma_ecf/mfd_sem_cupom.txt", 1, "6 acima da tolerância de 0,00"},
    {"README.md", "tavex-cli validar exemplos/uma_ecf/", 1, "mfd_sem_cupom.txt: 3 redução(ões) Z comparada(s), 6 total(is) acima da tolerância de 0,00"},
    {"README.md", "cd build/exemplos", 0, ""},
    {"README.md", "../bin/tavex-cli assinatura tdm_valido.txt --fabricante DATAREGIS", 0, "Assinatura válida!"},
    {"README.md", "../bin/tavex-cli assinatura tdm_assinatura_adulterada.txt --fabricante DATAREGIS", 1, "Assinatura Inválida!"},

    {"README.md", "tavex-cli efd exemplos/efd/ecf.txt exemplos/efd/efd_adulterada.txt", 1, "5 alerta(s), 0 informação(ões) em 1 EFD(s)."},

    {"docs/manual.md", "tavex-cli efd efd/ecf.txt efd/efd_adulterada.txt", 1, "EFD_RZ_NAO_ESCRITURADA"},
    {"docs/manual.md", "tavex-cli indicios tdm_indicios.txt", 1, "4 indício(s): 1 alerta(s), 3 informação(ões)"},
    {"docs/manual.md", "tavex-cli validar tdm_valido.txt --tolerancia 0,05", 0, "0 erro(s) encontrado(s)."},
    {"docs/manual.md", "tavex-cli validar tdm_total_e13_divergente.txt --tolerancia 0,05", 1, "[ERR]"},
    {"docs/manual.md", "tavex-cli validar formato_com_erros.txt --formato", 1, "[ERR]"},
    {"docs/manual.md", "tavex-cli validar . --jobs 2 --resumo resumo.csv", 1, "0 não validado(s), 0 interrompido(s)."},
    {"docs/manual.md", "tavex-cli validar uma_ecf/", 1, "6 total(is) acima da tolerância de 0,00"},
    {"docs/manual.md", "tavex-cli validar tdm_valido.txt --json", 0, "\"situacao\":\"validado\""},
    {"docs/manual.md", "tavex-cli conciliar tdm_total_e13_divergente.txt --tolerancia 0,05", 1, "1 acima da tolerância"},
    {"docs/manual.md", "tavex-cli relatorio . --tolerancia 0,05 --saida relatorio.html", 1, ""},
    {"docs/manual.md", "grep -v -e '^E04' -e '^E10' tdm_valido.txt > sem_e04_e10.txt", 0, ""},
    {"docs/manual.md", "tavex-cli validar sem_e04_e10.txt --continuar", 0, "2 avisos(s) encontrado(s)."},
    {"docs/manual.md", "tavex-cli separar tdm_valido.txt", 0, "Processo finalizado!"},
    {"docs/manual.md", "tavex-cli exportar-csv tdm_valido.txt planilhas/", 0, "Processo de conversão finalizado."},
    {"docs/manual.md", "tavex-cli exportar-mdb tdm_valido.txt bancos/", 0, "bancos/TX000000000000000001_"},
    {"docs/manual.md", "tavex-cli fabricantes", 0, "DATAREGIS"},
    {"docs/manual.md", "tavex-cli assinatura tdm_valido.txt --fabricante DATAREGIS", 0, "Assinatura válida!"},
    {"docs/manual.md", "tavex-cli assinatura tdm_assinatura_adulterada.txt --fabricante DATAREGIS", 1, "Assinatura Inválida!"},
    {"docs/manual.md", "tavex-cli paf --listar", 0, "TAVEXSOFT"},
    {"docs/manual.md", "tavex-cli paf paf/mercadorias.txt --software-house TAVEXSOFT", 0, "Assinatura válida!"},
    {"docs/manual.md", "cp tdm_item_divergente.txt teste.txt", 0, ""},
    {"docs/manual.md", "cp chaves/dataregis_privada.pem chave.pem", 0, ""},
    {"docs/manual.md", "tavex-cli assinar teste.txt --chave-privada chave.pem --substituir", 0, "teste.txt"},
    {"docs/manual.md", "tavex-cli assinatura teste.txt --fabricante DATAREGIS", 0, "Assinatura válida!"},
    {"docs/manual.md", "sha256sum tdm_valido.txt tdm_coo_faltante.txt > provas.sha256", 0, ""},
    {"docs/manual.md", "sha256sum -c provas.sha256", 0, "tdm_coo_faltante.txt: OK"},

    {"docs/tavex-cli.1.md", "tavex-cli efd efd/ecf.txt efd/efd_adulterada.txt", 1, "EFD_CUPOM_VALOR"},
    {"docs/tavex-cli.1.md", "tavex-cli validar tdm_total_e13_divergente.txt --tolerancia 0,05", 1, "[ERR]"},
    {"docs/tavex-cli.1.md", "iconv -f CP1252 -t UTF-8 tdm_total_e13_divergente.txt.log | grep '^\\[ERR\\]'", 0, "[ERR] "},
    {"docs/tavex-cli.1.md", "tavex-cli validar formato_com_erros.txt --formato", 1, "[ERR]"},
    {"docs/tavex-cli.1.md", "tavex-cli conciliar uma_ecf/mf.txt uma_ecf/mfd_sem_cupom.txt", 1, "6 acima da tolerância"},
    {"docs/tavex-cli.1.md", "tavex-cli indicios uma_ecf/", 1, "ECF TX000000000000000028"},
    {"docs/tavex-cli.1.md", "tavex-cli validar uma_ecf/", 1, "Conciliação MF × MFD (TX000000000000000028)"},
    {"docs/tavex-cli.1.md", "grep -v -e '^E04' -e '^E10' tdm_valido.txt > sem_e04_e10.txt", 0, ""},
    {"docs/tavex-cli.1.md", "tavex-cli validar sem_e04_e10.txt --continuar", 0, "2 avisos(s) encontrado(s)."},
    {"docs/tavex-cli.1.md", "tavex-cli validar arquivos/ --jobs 2 --resumo resumo.csv", 1, "0 não validado(s), 0 interrompido(s)."},
    {"docs/tavex-cli.1.md", "tavex-cli validar tdm_valido.txt --json", 0, "\"situacao\":\"validado\""},
    {"docs/tavex-cli.1.md", "tavex-cli conciliar tdm_total_e13_divergente.txt --tolerancia 0,05", 1, "1 acima da tolerância"},
    {"docs/tavex-cli.1.md", "tavex-cli exportar-csv tdm_valido.txt planilhas/", 0, "Processo de conversão finalizado."},
    {"docs/tavex-cli.1.md", "tavex-cli exportar-mdb tdm_valido.txt bancos/", 0, "bancos/TX000000000000000001_"},
    {"docs/tavex-cli.1.md", "tavex-cli separar tdm_valido.txt", 0, "Processo finalizado!"},
    {"docs/tavex-cli.1.md", "tavex-cli fabricantes", 0, "DATAREGIS"},
    {"docs/tavex-cli.1.md", "tavex-cli assinatura tdm_valido.txt --fabricante DATAREGIS --modelo 3202DT", 0, "Assinatura válida!"},
    {"docs/tavex-cli.1.md", "tavex-cli assinatura tdm_assinatura_adulterada.txt --fabricante DATAREGIS", 1, "Assinatura Inválida!"},
    {"docs/tavex-cli.1.md", "tavex-cli paf --listar", 0, "TAVEXSOFT"},
    {"docs/tavex-cli.1.md", "tavex-cli paf paf/mercadorias.txt --software-house TAVEXSOFT", 0, "Assinatura válida!"},
    {"docs/tavex-cli.1.md", "tavex-cli assinar tdm_item_divergente.txt --chave-privada chaves/dataregis_privada.pem --substituir", 0, "tdm_item_divergente.txt"},
    {"docs/tavex-cli.1.md", "tavex-cli assinar paf/mercadorias.txt --chave-privada chaves/tavexsoft_privada.pem --paf --substituir", 0, "mercadorias.txt"},
    {"docs/tavex-cli.1.md", "openssl genrsa -out minha_chave.pem 1024", 0, ""},
    {"docs/tavex-cli.1.md", "openssl rsa -in minha_chave.pem -noout -modulus", 0, "Modulus="},
    {"docs/tavex-cli.1.md", "tavex-cli relatorio arquivos/ --tolerancia 0,05 --saida relatorio.html", 1, ""},
    {"docs/tavex-cli.1.md", "tavex-cli relatorio tdm_valido.txt --fabricante DATAREGIS --saida relatorio.html", 0, "Tolerância: R$ 0,00"},
    {"docs/tavex-cli.1.md", "tavex-cli relatorio tdm_assinatura_adulterada.txt --fabricante DATAREGIS --saida adulterado.html", 0, "Tolerância: R$ 0,00"},
    {"docs/tavex-cli.1.md", "tavex-cli validar tdm_valido.txt", 0, "0 erro(s) encontrado(s)."},
    {"docs/tavex-cli.1.md", "tavex-cli indicios arquivos/ --limite-cancelamentos 15 --csv > indicios.csv", 2, "estrutura_com_erros.txt: não verificado"},

    {"docs/tavex.1.md", "tavex --version", 0, "tavex "},
};

// Shown but not run here, each for its reason (matched at the start of the command).
const std::pair<const char*, const char*> kNotRun[] = {
    {"./run", "builds the program first"},
    {"./test", "runs every suite"},
    {"cmake --build build --target package", "builds the package"},
    {"sudo apt-get install", "installs the package"},
    {"tools/check_package.sh", "installs and removes the package"},
    {"cp -r /usr/share/tavex/exemplos", "needs the installed package"},
    {"cd ~/tavex-exemplos && tavex", "opens the window"},
    {"chromium", "needs a browser (the browser suite prints reports)"},
    {"tavex-cli exportar-pg", "needs a PostgreSQL server (the pg suite loads the examples)"},
    {"psql", "needs a PostgreSQL server"},
};
// clang-format on

const std::set<std::string> kPrograms = {"tavex-cli", "tavex", "./run", "./test", "cd", "cp", "mkdir", "grep", "iconv",
                                         "sha256sum", "openssl", "chromium", "psql", "sqlite3", "cmake", "sudo",
                                         "jq", "man", "mount", "ls", "cat", "dmesg", "usermod"};
const std::set<std::string> kPlaceholders = {"ARQUIVO", "PASTA", "SAIDA", "NOME", "CHAVE", "TEXTO", "URL",
                                             "BUILD_DIR", "COMANDO", "ARGS", "ARGUMENTOS", "FILE"};

std::string trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

bool isProgram(const std::string& word) {
  if (kPrograms.count(word)) return true;
  for (const char* prefix : {"build/bin/", "../bin/", "tools/", "bench/"})
    if (word.starts_with(prefix)) return true;
  return false;
}

bool isSynopsis(const std::string& command) {
  if (command.find(" [") != std::string::npos) return true;
  static const std::regex word("[A-Za-z_]+");
  for (auto it = std::sregex_iterator(command.begin(), command.end(), word); it != std::sregex_iterator(); ++it)
    if (kPlaceholders.count(it->str())) return true;
  return false;
}

// The commands a document shows, in its order.
std::vector<std::string> shownCommands(const std::string& text) {
  std::vector<std::string> commands;
  std::istringstream lines(text);
  std::string line;
  bool inFence = false;
  while (std::getline(lines, line)) {
    const std::string t = trim(line);
    if (t.starts_with("```")) {
      inFence = !inFence;
      continue;
    }
    if (!inFence && !line.starts_with("    ")) continue;
    std::string command = std::regex_replace(t, std::regex("\\s+#\\s.*$"), "");
    if (command.starts_with("$ ")) command.erase(0, 2);  // a shell prompt before the command
    const std::string first = command.substr(0, command.find(' '));
    if (command.empty() || !isProgram(first)) continue;
    commands.push_back(command);
  }
  return commands;
}

const char* notRunReason(const std::string& command) {
  for (const auto& [prefix, reason] : kNotRun)
    if (command.starts_with(prefix)) return reason;
  return nullptr;
}

std::string shellQuoted(const fs::path& p) { return "'" + p.string() + "'"; }

// The folders a reader of `document` has, in a fresh temporary folder; answers the
// folder its commands start in.
fs::path prepareWorkspace(const fs::path& root, const std::string& document) {
  const fs::path source = TAVEX_SOURCE_DIR, build = TAVEX_BINARY_DIR;
  const auto copyOptions = fs::copy_options::recursive | fs::copy_options::copy_symlinks;
  fs::create_directories(root / "home");
  if (document == "README.md") {
    fs::copy(source / "exemplos", root / "exemplos", copyOptions);
    fs::create_directories(root / "build");
    fs::copy(build / "exemplos", root / "build" / "exemplos", copyOptions);
    fs::create_directory_symlink(build / "bin", root / "build" / "bin");
    return root;
  }
  // The installed example folder, as a reader copies it, with a folder of COTEPE
  // files for the examples that take one.
  const fs::path start = root / "tavex-exemplos";
  fs::copy(build / "exemplos", start, copyOptions);
  fs::create_directory(start / "arquivos");
  for (const auto& entry : fs::directory_iterator(source / "exemplos"))
    if (entry.is_regular_file() && entry.path().extension() == ".txt")
      fs::copy_file(entry.path(), start / "arquivos" / entry.path().filename());
  return start;
}

struct Outcome {
  int status;
  std::string output;
};

// Runs `command` with bash in `cwd` (updated to where the command left the shell),
// the built programs first on the PATH, the temporary folder as home.
Outcome runShown(const fs::path& root, fs::path& cwd, const std::string& command) {
  const fs::path script = root / "comando.sh", where = root / "pasta_final";
  testing::writeFile(script.string(), "cd " + shellQuoted(cwd) + " || exit 99\n" + command + "\ns=$?\npwd > " +
                                          shellQuoted(where) + "\nexit $s\n");
  const std::string bin = std::string(TAVEX_BINARY_DIR) + "/bin";
  const std::string shell = "env HOME=" + shellQuoted(root / "home") + " PATH=" + shellQuoted(fs::path(bin)) +
                            ":\"$PATH\" LC_ALL=C.UTF-8 QT_QPA_PLATFORM=offscreen timeout 120 bash " + shellQuoted(script) +
                            " </dev/null 2>&1";
  Outcome r{-1, {}};
  std::FILE* p = ::popen(shell.c_str(), "r");
  if (p == nullptr) return r;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) r.output.append(buffer, n);
  const int raw = ::pclose(p);
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  if (fs::exists(where)) cwd = trim(testing::readFile(where.string()));
  return r;
}

// The last line with text of an output, cut to 60 bytes: a row's likely key.
std::string lastLine(const std::string& text) {
  std::istringstream lines(text);
  std::string line, last;
  while (std::getline(lines, line))
    if (!trim(line).empty()) last = trim(line);
  return last.size() > 60 ? last.substr(0, 60) : last;
}

class DocumentedExamples : public ::testing::TestWithParam<const char*> {};

TEST_P(DocumentedExamples, EveryShownCommandEndsAsTheTableSays) {
  const std::string document = GetParam();
  const std::vector<std::string> shown =
      shownCommands(testing::readFile(std::string(TAVEX_SOURCE_DIR) + "/" + document));
  testing::TempDir workspace;
  fs::path cwd = prepareWorkspace(workspace.path(), document);

  std::set<std::string> met;
  for (const std::string& command : shown) {
    if (notRunReason(command) || isSynopsis(command)) continue;
    const Example* expected = nullptr;
    for (const Example& e : kExamples)
      if (document == e.document && command == e.command) expected = &e;
    const Outcome outcome = runShown(workspace.path(), cwd, command);
    if (expected == nullptr) {
      ADD_FAILURE() << document << " shows a command the table does not list; its row would be:\n    {\"" << document
                    << "\", R\"(" << command << ")\", " << outcome.status << ", \"" << lastLine(outcome.output)
                    << "\"},";
      continue;
    }
    met.insert(command);
    EXPECT_EQ(outcome.status, expected->status) << document << ": " << command << "\n" << outcome.output;
    EXPECT_NE(outcome.output.find(expected->output), std::string::npos)
        << document << ": " << command << "\nexpected to print: " << expected->output << "\nprinted:\n"
        << outcome.output;
  }
  for (const Example& e : kExamples)
    if (document == e.document && !met.count(e.command))
      ADD_FAILURE() << document << " no longer shows (or shows as not run) the table's command: " << e.command;
}

INSTANTIATE_TEST_SUITE_P(Docs, DocumentedExamples, ::testing::ValuesIn(kDocuments),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           std::string name = fs::path(info.param).stem().string();
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

// The rules that pick the commands out of a document.
TEST(DocumentedExamplesExtraction, FindsCommandsInFencesAndIndentedBlocksButNotOutputOrProse) {
  const std::string text =
      "Valide `tavex-cli validar x.txt` assim:\n"
      "```sh\n"
      "tavex-cli validar tdm.txt   # saída 0\n"
      "```\n"
      "```\n"
      "Arquivo  Tipo\n"
      "tavex-cli conciliar ARQUIVO [--csv]\n"
      "```\n"
      "    grep '^\\[ERR\\]' tdm.txt.log\n"
      "  tavex-cli separar lista.txt\n"
      "```\n$ tavex-cli indicios x.txt\nx.txt\n```\n"
      "```sql\nSELECT 1;\n```\n";
  const std::vector<std::string> commands = shownCommands(text);
  ASSERT_EQ(commands.size(), 4u);
  EXPECT_EQ(commands[0], "tavex-cli validar tdm.txt");
  EXPECT_TRUE(isSynopsis(commands[1]));
  EXPECT_EQ(commands[2], "grep '^\\[ERR\\]' tdm.txt.log");
  EXPECT_FALSE(isSynopsis(commands[2]));
  EXPECT_EQ(commands[3], "tavex-cli indicios x.txt");
  EXPECT_FALSE(isSynopsis("tavex-cli assinatura tdm_valido.txt --fabricante DATAREGIS"));
}

}  // namespace
}  // namespace tavex
