// tavex-cli validar over many files and folders, and its --json output: the
// summary, the exit status, the logs left beside the files, Ctrl-C, bad input.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "cli/batch_report.h"
#include "cli/commands.h"
#include "cli/file_validation.h"
#include "cli/work_pool.h"
#include "generator.h"
#include "cotepe/text.h"
#include "support/cli_capture.h"
#include "support/files.h"
#include "support/sample_files.h"

namespace tavex::cli {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using tavex::testing::TempDir;

using Outcome = tavex::testing::CliOutcome;

Outcome run(const Args& args) { return tavex::testing::runCaptured(runValidar, args); }

std::string cleanTdm() { return testing::joinLines(testing::sampleTdmFile()); }
std::string tdmWithE13Error() {
  auto lines = testing::sampleTdmFile();
  lines[12] = testing::sampleRecord(13, {{"CRZ", "1"}, {"TOTALIZADOR", "01T1800"}, {"VALOR_ACUMULADO", "1005"}});
  return testing::joinLines(lines);
}

// The line of the summary table that names `file`.
std::string rowOf(const std::string& out, const std::string& file) {
  for (std::size_t start = 0; start < out.size();) {
    std::size_t end = out.find('\n', start);
    if (end == std::string::npos) end = out.size();
    const std::string line = out.substr(start, end - start);
    if (line.starts_with(file + " ")) return line;
    start = end + 1;
  }
  return "";
}

TEST(CliValidarBatch, AMixedFolderIsValidatedWholeAndSummarised) {
  TempDir dir;
  const fs::path folder = dir.path() / "pasta";
  fs::create_directories(folder / "sub");
  const std::string clean = (folder / "a.txt").string(), wrong = (folder / "sub" / "b.dat").string();
  testing::writeFile(clean, cleanTdm());
  testing::writeFile(wrong, tdmWithE13Error());
  testing::writeFile((folder / "notas.txt").string(), "não é COTEPE\r\n");
  testing::writeFile((folder / "vazio.txt").string(), "");
  fs::create_symlink("/proc/self/mem", folder / "ilegivel.txt");
  testing::writeFile((folder / "bloqueado.txt").string(), cleanTdm());
  fs::create_directory(folder / "bloqueado.txt.log");  // its log cannot be created
  const std::string csv = dir.file("resumo.csv");

  const Outcome o = run({folder.string(), clean, "--jobs", "3", "--resumo", csv, "--tolerancia", "0,00"});
  EXPECT_EQ(o.status, 2);  // one file could not be validated
  EXPECT_EQ(o.err, "Tolerância: R$ 0,00\n");  // not a terminal: no progress bar
  // Each file once (a.txt is in the folder and given again), logs beside them, not printed.
  EXPECT_EQ(o.out.find("Fim da validação"), std::string::npos);
  EXPECT_NE(testing::readFile(clean + ".log").find("Fim da valida"), std::string::npos);
  EXPECT_NE(testing::readFile(wrong + ".log").find("[ERR] Linha 13: E13"), std::string::npos);
  EXPECT_FALSE(fs::exists((folder / "notas.txt.log")));
  const std::string cleanRow = rowOf(o.out, clean), wrongRow = rowOf(o.out, wrong);
  EXPECT_NE(cleanRow.find("TDM"), std::string::npos) << o.out;
  EXPECT_NE(cleanRow.find(" 0 "), std::string::npos) << cleanRow;
  EXPECT_NE(cleanRow.find("sim"), std::string::npos) << cleanRow;
  EXPECT_NE(cleanRow.find("validado"), std::string::npos);
  EXPECT_NE(wrongRow.find(" 1 "), std::string::npos) << wrongRow;
  EXPECT_NE(rowOf(o.out, (folder / "bloqueado.txt").string()).find("não validado"), std::string::npos) << o.out;
  EXPECT_NE(rowOf(o.out, (folder / "ilegivel.txt").string()).find("não validado"), std::string::npos) << o.out;
  EXPECT_EQ(rowOf(o.out, (folder / "notas.txt").string()), "");  // not a COTEPE file: not listed from a folder
  EXPECT_NE(o.out.find("4 arquivo(s): 1 sem erros, 1 com erros, 2 não validado(s), 0 interrompido(s)."),
            std::string::npos)
      << o.out;
  EXPECT_NE(o.out.find("Não validados:\n"), std::string::npos);

  const std::string table = cp1252ToUtf8(testing::readFile(csv));
  EXPECT_TRUE(table.starts_with("Arquivo;Tipo;Série ECF;Período;Erros;Avisos;EAD;Tempo;Situação;Motivo\r\n")) << table;
  EXPECT_NE(table.find(clean + ";TDM;"), std::string::npos) << table;
  EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 5);
}

TEST(CliValidarBatch, ExitStatusFollowsTheWorstFile) {
  TempDir dir;
  testing::writeFile(dir.file("a.txt"), cleanTdm());
  testing::writeFile(dir.file("b.txt"), cleanTdm());
  EXPECT_EQ(run({dir.file("a.txt"), dir.file("b.txt")}).status, 0);
  testing::writeFile(dir.file("c.txt"), tdmWithE13Error());
  EXPECT_EQ(run({dir.file("a.txt"), dir.file("c.txt"), "--jobs=1"}).status, 1);
  EXPECT_EQ(run({dir.file("a.txt"), dir.file("nao_existe.txt")}).status, 2);
  // A folder alone is a batch too, and a file given by name that is no COTEPE file is listed.
  testing::writeFile(dir.file("d.txt"), "texto\r\n");
  const Outcome o = run({dir.path().string(), dir.file("d.txt")});
  EXPECT_EQ(o.status, 2);
  EXPECT_NE(rowOf(o.out, dir.file("d.txt")).find("não validado"), std::string::npos) << o.out;
}

TEST(CliValidarBatch, JobsMustBeAWholeNumberFromOne) {
  for (const char* bad : {"0", "abc", "", "-1", "2x", "99999999999"}) {
    const Outcome o = run({"a.txt", "b.txt", "--jobs", bad});
    EXPECT_EQ(o.status, 2) << bad;
    EXPECT_NE(o.err.find("--jobs"), std::string::npos) << bad;
    EXPECT_EQ(o.out, "");
  }
}

TEST(CliValidarBatch, JsonOfSeveralFilesListsThemInTheOrderGivenAndGroupsThemByEcf) {
  TempDir dir;
  testing::writeFile(dir.file("b.txt"), tdmWithE13Error());
  testing::writeFile(dir.file("a.txt"), cleanTdm());
  const Outcome o = run({dir.file("b.txt"), dir.file("a.txt"), dir.file("falta.txt"), "--json", "--jobs", "2"});
  EXPECT_EQ(o.status, 2);
  const json whole = json::parse(o.out);
  const json& docs = whole["arquivos"];
  ASSERT_TRUE(docs.is_array());
  ASSERT_EQ(docs.size(), 3u);
  EXPECT_EQ(docs[0]["arquivo"], dir.file("b.txt"));
  EXPECT_EQ(docs[0]["situacao"], "validado");
  EXPECT_EQ(docs[0]["contagens"]["erros"], 1);
  ASSERT_EQ(docs[0]["achados"].size(), 1u);
  const json& finding = docs[0]["achados"][0];
  EXPECT_EQ(finding["codigo"], "totais.e13");
  EXPECT_EQ(finding["linha"], 13);
  EXPECT_EQ(finding["crz"], 1);
  EXPECT_EQ(finding["declarado"], 1005);
  EXPECT_EQ(docs[0]["conciliacao"]["linhas_fora_da_tolerancia"], 1);
  EXPECT_EQ(docs[1]["arquivo"], dir.file("a.txt"));
  EXPECT_EQ(docs[1]["contagens"]["erros"], 0);
  EXPECT_EQ(docs[1]["tipo"], "TDM");
  EXPECT_EQ(docs[2]["arquivo"], dir.file("falta.txt"));
  EXPECT_EQ(docs[2]["situacao"], "nao_validado");
  EXPECT_TRUE(docs[2]["cabecalho"].is_null());
  // One ECF, its two files in CRZ order (then by name); b.txt tells reduction 1's E13 another way.
  ASSERT_EQ(whole["ecfs"].size(), 1u);
  const json& ecf = whole["ecfs"][0];
  EXPECT_EQ(ecf["ecf"], testing::kSampleSerial);
  ASSERT_EQ(ecf["arquivos"].size(), 2u);
  EXPECT_EQ(ecf["arquivos"][0]["arquivo"], dir.file("a.txt"));
  EXPECT_EQ(ecf["cobertura"][0]["crz_inicial"], 1);
  std::vector<std::string> codes;
  for (const json& i : ecf["indicios"]) codes.push_back(i["codigo"]);
  EXPECT_EQ(codes, (std::vector<std::string>{"indicio.arquivos.divergencia", "indicio.arquivos.sobreposicao"}));
  // The logs are still written.
  EXPECT_TRUE(fs::exists(dir.file("a.txt.log")));
}

// The documents of the example files, with the folder's path taken out.
TEST(CliValidarBatch, JsonOfTheExampleFilesMatchesTheGoldenFiles) {
  TempDir dir;
  for (const auto& entry : fs::directory_iterator(fs::path(TAVEX_SOURCE_DIR) / "exemplos")) {
    if (!entry.is_regular_file() || entry.path().extension() != ".txt") continue;
    const std::string name = entry.path().filename().string();
    fs::copy_file(entry.path(), dir.path() / name);
    const Outcome o = run({dir.file(name), "--json", "--tolerancia", "0,05"});
    std::string text = o.out;
    const std::string prefix = dir.path().string() + "/";
    for (std::size_t at; (at = text.find(prefix)) != std::string::npos;) text.replace(at, prefix.size(), "exemplos/");
    ASSERT_TRUE(json::accept(text)) << name;
    EXPECT_EQ(o.status, json::parse(text)["contagens"]["erros"] == 0 ? 0 : 1) << name;
    // Kept indented beside the test (the output is one line), in the output's key order.
    testing::expectMatchesGolden(nlohmann::ordered_json::parse(text).dump(2) + "\n", "cli/golden/" + entry.path().stem().string() + ".json");
  }
}

// The examples of faults show what their names say: format errors found by the
// full run past a sound structure, and structure faults that stop it.
TEST(CliValidarBatch, TheFaultExamplesShowFormatAndStructureFindings) {
  TempDir dir;
  const auto codesOf = [&dir](const std::string& name) {
    fs::copy_file(fs::path(TAVEX_SOURCE_DIR) / "exemplos" / name, dir.path() / name);
    const Outcome o = run({dir.file(name), "--json"});
    const json document = json::parse(o.out);
    std::vector<std::string> codes;
    for (const json& f : document["achados"]) codes.push_back(f["codigo"]);
    return std::pair(codes, !document["conciliacao"].is_null());
  };
  const auto [format, formatReachedTotals] = codesOf("formato_com_erros.txt");
  EXPECT_TRUE(formatReachedTotals);
  EXPECT_GE(format.size(), 3u);
  for (const std::string& code : format) EXPECT_TRUE(code.starts_with("campo.formato_")) << code;
  const auto [structure, structureReachedTotals] = codesOf("estrutura_com_erros.txt");
  EXPECT_FALSE(structureReachedTotals);
  EXPECT_GE(structure.size(), 2u);
  for (const std::string& code : structure) EXPECT_TRUE(code.starts_with("estrutura.")) << code;
}

// The reconciliation is written row by row as text, for the document and for
// conciliar alike; it stays valid JSON whatever the names from the file hold, and
// keeps the 64-bit extremes.
TEST(CliValidarBatch, JsonReconciliationIsValidForNamesOfAnyKindAndTheSameInEveryOutput) {
  Reconciliation table;
  table.toleranceCents = 5;
  ReductionReconciliation first;
  first.crz = 7;
  first.line = 3;
  first.date = "20120102";
  first.firstCoo = 1;
  first.lastCoo = 99;
  first.totals = {{TotalKind::GrossSales, "", 3, 1000, 990, 10, false},
                  {TotalKind::Totalizer, "01T1800  ", 4, 0, -5, 5, true},
                  {TotalKind::Payment, "CART\xc3O \"A\" \\ \x01\x7f\x80", 0, INT64_MAX, INT64_MIN, INT64_MAX, false}};
  ReductionReconciliation second;
  second.crz = 8;
  second.date = "2012\xe7" "102";
  table.reductions = {first, second, ReductionReconciliation{}};

  ValidationSummary summary;
  summary.ran = true;
  summary.reconciliation = table;
  FileOutcome outcome;
  outcome.path = "a.txt";
  const std::string document = fileDocument(outcome, ValidationSettings{}, &summary, {});
  ASSERT_TRUE(json::accept(document)) << document;
  EXPECT_EQ(nlohmann::ordered_json::parse(document)["conciliacao"], reconciliationJson(table));
  const json parsed = json::parse(document)["conciliacao"];
  EXPECT_EQ(parsed["reducoes"][0]["totais"][2]["nome"], "CART\u00c3O \"A\" \\ \u0001\u007f\u20ac");
  EXPECT_EQ(parsed["reducoes"][0]["totais"][1]["nome"], "01T1800");
  EXPECT_EQ(parsed["reducoes"][0]["totais"][2]["declarado"], INT64_MAX);
  EXPECT_EQ(parsed["reducoes"][0]["totais"][2]["calculado"], INT64_MIN);
  EXPECT_TRUE(parsed["reducoes"][0]["totais"][2]["linha"].is_null());
  EXPECT_EQ(parsed["reducoes"][1]["data"], "2012\u00e7102");
  EXPECT_EQ(parsed["linhas_fora_da_tolerancia"], 2);
}

// Findings enough to pass the part of a document kept in memory.
std::vector<Finding> manyFindings() {
  std::vector<Finding> findings;
  for (int i = 0; i < 20000; ++i) {
    Finding f;
    f.severity = i % 3 == 0 ? Severity::Warning : Severity::Error;
    f.code = "E15.coo";
    f.message = cformat("Linha %d: E15 -> um achado com acentua\xe7\xe3o e \"aspas\" %d", i + 3, i);
    f.place.line = i + 3;
    f.place.recordType = 15;
    findings.push_back(std::move(f));
  }
  return findings;
}

// A document made while the run goes writes its findings out as they come (into a
// temporary file past a megabyte) and is the same text as one made from all of them.
TEST(CliValidarBatch, ADocumentWrittenAsTheFindingsComeIsTheSameAsOneMadeWhole) {
  const std::vector<Finding> findings = manyFindings();
  ValidationSummary summary;
  summary.ran = true;
  FileOutcome outcome;
  outcome.path = "a.txt";
  outcome.errors = 13333;
  JsonDocument streamed;
  for (const Finding& f : findings) streamed.onFinding(f);
  const std::string whole = fileDocument(outcome, ValidationSettings{}, &summary, findings);
  ASSERT_GT(whole.size(), 2u << 20) << "the findings must pass the part kept in memory";
  const std::string head = whole.substr(0, whole.find("\"achados\":[") + 11);
  streamed.complete(head, whole.substr(whole.rfind("],\"conciliacao\":")));
  EXPECT_EQ(streamed.text(), whole);
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  ASSERT_TRUE(streamed.writeTo(out));
  std::rewind(out);
  std::string written;
  for (int c; (c = std::fgetc(out)) != EOF;) written += static_cast<char>(c);
  std::fclose(out);
  EXPECT_EQ(written, whole);
  EXPECT_TRUE(json::accept(written));
}

// The findings past a megabyte wait in a nameless file in $TMPDIR (else /tmp); a
// folder where it cannot be made is named with the cause.
TEST(CliValidarBatch, TheDocumentsTemporaryFileGoesToTmpdirAndItsFailureSaysWhere) {
  TempDir dir;
  const char* saved = std::getenv("TMPDIR");
  const std::string savedValue = saved != nullptr ? saved : "";
  const struct {
    std::string tmpdir, failure;
  } cases[] = {
      {dir.path().string(), ""},
      {dir.file("falta"), "o arquivo temporário dos achados não pôde ser gravado na pasta " + dir.file("falta") +
                              ": o caminho não existe (a variável TMPDIR escolhe outra pasta)"},
  };
  for (const auto& c : cases) {
    ::setenv("TMPDIR", c.tmpdir.c_str(), 1);
    JsonDocument document;
    for (const Finding& f : manyFindings()) document.onFinding(f);
    document.complete("{\"achados\":[", "]}");
    std::FILE* out = std::fopen("/dev/null", "wb");
    EXPECT_EQ(document.writeTo(out), c.failure.empty()) << c.tmpdir;
    std::fclose(out);
    EXPECT_EQ(document.failure(), c.failure);
    EXPECT_TRUE(fs::is_empty(dir.path())) << "the temporary file has no name";
  }
  if (saved != nullptr)
    ::setenv("TMPDIR", savedValue.c_str(), 1);
  else
    ::unsetenv("TMPDIR");
}

TEST(CliValidarBatch, CtrlCStopsTakingFilesAndTheSummarySaysWhatWasInterrupted) {
  TempDir dir;
  // Big enough files that a batch of them takes a while on one thread.
  GeneratorOptions options;
  options.targetBytes = 400000;
  std::ostringstream generated;
  generateCotepe(generated, options);
  const std::string bytes = generated.str();
  std::vector<std::string> args;
  for (int i = 0; i < 30; ++i) {
    const std::string file = dir.file(cformat("f%02d.txt", i));
    testing::writeFile(file, bytes);
    args.push_back(file);
  }
  args.insert(args.end(), {"--jobs", "1", "--resumo", dir.file("resumo.csv")});
  ::testing::internal::CaptureStdout();
  std::future<int> status = std::async(std::launch::async, [&] { return runValidar(args); });
  // Once the first log is whole, the batch is running with its handler in place.
  for (int i = 0; i < 2000 && !fs::exists(dir.file("f00.txt.log")); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_EQ(::kill(::getpid(), SIGINT), 0);
  const int exit = status.get();
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(exit, 2);
  int interrupted = 0, validated = 0;
  for (int i = 0; i < 30; ++i) {
    const std::string file = dir.file(cformat("f%02d.txt", i));
    const std::string row = rowOf(out, file);
    if (row.ends_with("interrompido")) {
      ++interrupted;
      EXPECT_FALSE(fs::exists(file + ".log")) << file;  // never started
    } else {
      ++validated;
      EXPECT_TRUE(row.ends_with("validado")) << row;
      EXPECT_NE(testing::readFile(file + ".log").find("Fim da valida"), std::string::npos) << file;  // whole
    }
  }
  EXPECT_GE(validated, 1);
  EXPECT_GE(interrupted, 1) << out;
  EXPECT_NE(out.find(cformat("%d interrompido(s).", interrupted)), std::string::npos) << out;
  // The handler is gone after the batch: the default action is back.
  struct sigaction now {};
  ::sigaction(SIGINT, nullptr, &now);
  EXPECT_EQ(now.sa_handler, SIG_DFL);
}

// A big folder whose files vanish while the batch runs: every file found ends
// either validated with its whole log or not validated with its reason, and the
// batch goes on to the end.
TEST(CliValidarBatch, FilesVanishingDuringABigBatchNeverStopIt) {
  TempDir dir;
  const std::string bytes = cleanTdm();
  constexpr int kFiles = 600;
  for (int i = 0; i < kFiles; ++i) {
    const std::string name = dir.file(cformat("f%04d.txt", i));
    testing::writeFile(name, i % 10 == 9 ? std::string("outra coisa\r\n") : i % 10 == 8 ? std::string() : bytes);
  }
  std::atomic<bool> finished{false};
  std::thread remover([&] {  // removes files from the end backwards while the batch reads from the start
    for (int i = kFiles - 1; i >= 0 && !finished; i -= 3) {
      std::error_code ec;
      fs::remove(dir.file(cformat("f%04d.txt", i)), ec);
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });
  const Outcome o = run({dir.path().string(), "--jobs", "2"});
  finished = true;
  remover.join();
  int validated = 0, failed = 0;
  for (int i = 0; i < kFiles; ++i) {
    const std::string file = dir.file(cformat("f%04d.txt", i));
    const std::string row = rowOf(o.out, file);
    if (row.ends_with("não validado")) {
      ++failed;  // vanished while searched or before its turn
    } else if (!row.empty()) {
      ++validated;
      EXPECT_LT(i % 10, 8) << file;  // the others are no COTEPE files: never listed from a folder
      EXPECT_NE(testing::readFile(file + ".log").find("Fim da valida"), std::string::npos) << file;
    }
  }
  EXPECT_GT(validated, 0);
  EXPECT_NE(o.out.find(cformat("arquivo(s): %d sem erros, 0 com erros, %d não validado(s)", validated, failed)),
            std::string::npos)
      << o.out.substr(o.out.size() - 300);
  EXPECT_EQ(o.status, failed > 0 ? 2 : 0);
}

TEST(CliValidarBatch, TheProgressBarRedrawsOneLineAndClearsIt) {
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  ProgressBar bar(out, 4);
  bar.show(1, "a.txt");
  bar.show(4, std::string(60, 'x') + "/fim.txt");
  bar.finish();
  std::rewind(out);
  std::string text(400, '\0');
  text.resize(std::fread(text.data(), 1, text.size(), out));
  std::fclose(out);
  EXPECT_EQ(text, "\r\033[K[#######.......................] 1/4  a.txt"
                  "\r\033[K[##############################] 4/4  ..." + std::string(29, 'x') + "/fim.txt"
                  "\r\033[K");
}

TEST(WorkPool, EveryItemRunsOnceAndAStopTakesNoMore) {
  for (unsigned threads : {1u, 2u, 7u}) {
    std::vector<std::atomic<int>> runs(50);
    std::atomic<bool> stop{false};
    runOnPool(runs.size(), threads, stop, [&](std::size_t i) { runs[i]++; });
    for (const auto& r : runs) EXPECT_EQ(r.load(), 1) << threads;
  }
  std::atomic<bool> stop{false};
  std::atomic<int> ran{0};
  runOnPool(100, 2, stop, [&](std::size_t i) {
    ++ran;
    if (i == 3) stop = true;
  });
  EXPECT_GE(ran.load(), 4);
  EXPECT_LE(ran.load(), 5);  // at most the item in flight on the other thread
  runOnPool(0, 4, stop, [](std::size_t) { ADD_FAILURE(); });
}

// Threads the system refuses (a process limit, a container's pids.max) leave the
// work to the threads that did start, the calling one at least; nothing aborts.
TEST(WorkPool, ThreadsThatCannotBeStartedLeaveTheWorkToTheOthers) {
  struct Restore {
    ~Restore() { setThreadStarter({}); }
  } restore;
  for (const int granted : {0, 1, 3}) {
    int started = 0;
    setThreadStarter([&](std::function<void()> body) {
      if (started == granted) throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
      ++started;
      return std::thread(std::move(body));
    });
    std::vector<std::atomic<int>> runs(40);
    const std::atomic<bool> stop{false};
    runOnPool(runs.size(), 8, stop, [&](std::size_t i) { runs[i]++; });
    for (const auto& r : runs) EXPECT_EQ(r.load(), 1) << granted;
    EXPECT_EQ(started, granted);
  }
  // The batch itself, on the calling thread alone.
  setThreadStarter([](std::function<void()>) -> std::thread {
    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
  });
  TempDir dir;
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) testing::writeFile(dir.file(name), cleanTdm());
  const Outcome o = run({dir.path().string(), "--jobs", "3"});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.out.find("3 arquivo(s): 3 sem erros"), std::string::npos) << o.out;
  const Outcome js = run({dir.path().string(), "--json", "--jobs", "3"});
  EXPECT_EQ(js.status, 0);
  EXPECT_EQ(json::parse(js.out)["arquivos"].size(), 3u);
}

// A file's name is any bytes: the table shows control bytes and bytes that are not
// UTF-8 by value (an ESC sequence in a name would act on the terminal), and JSON
// keeps "arquivo" valid UTF-8 with the raw bytes beside it to find the file again.
TEST(CliValidarBatch, NamesWithControlBytesOrNotUtf8AreShownByValue) {
  TempDir dir;
  const std::string hostile = dir.file("tela\x1b[2J.txt"), latin1 = dir.file("nota\xe7\xe3o.txt");
  testing::writeFile(hostile, cleanTdm());
  testing::writeFile(latin1, cleanTdm());
  const Outcome table = run({hostile, latin1});
  EXPECT_EQ(table.status, 0) << table.err;
  EXPECT_EQ(table.out.find('\x1b'), std::string::npos) << table.out;
  EXPECT_NE(rowOf(table.out, dir.file("tela\\x1B[2J.txt")), "") << table.out;
  EXPECT_NE(rowOf(table.out, dir.file("nota\\xE7\\xE3o.txt")), "") << table.out;
  EXPECT_TRUE(isValidUtf8(table.out));

  const Outcome js = run({latin1, "--json"});
  EXPECT_EQ(js.status, 0) << js.err;
  ASSERT_TRUE(isValidUtf8(js.out));
  const json doc = json::parse(js.out);
  EXPECT_EQ(doc["arquivo"], dir.file("nota\\xE7\\xE3o.txt"));
  std::string raw;
  const std::string hex = doc["arquivo_bytes"];
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) raw += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  EXPECT_EQ(raw, latin1);
  // A name in UTF-8 keeps the document as it was: no extra key.
  const Outcome plain = run({hostile, "--json"});
  EXPECT_EQ(json::parse(plain.out)["arquivo"], hostile);
  EXPECT_FALSE(json::parse(plain.out).contains("arquivo_bytes"));
}

}  // namespace
}  // namespace tavex::cli
