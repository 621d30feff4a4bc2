// tavex-cli efd: what the ECF's files recorded against what the taxpayer declared
// in the EFD ICMS/IPI. Every COTEPE file is validated as by "validar" (its log
// written beside it); the EFD files are read meanwhile.
#include <algorithm>
#include <cstdio>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/batch_report.h"
#include "cli/commands.h"
#include "cli/file_validation.h"
#include "cli/work_pool.h"
#include "cotepe/br_format.h"
#include "cotepe/file_discovery.h"
#include "cotepe/text.h"
#include "cotepe/visible_name.h"
#include "efd/efd_comparison.h"
#include "export/table_csv.h"

namespace tavex::cli {

namespace {

const char* const kUsage =
    "Uso: tavex-cli efd ARQUIVO|PASTA... [--tolerancia TEXTO] [--continuar] [--json|--csv]\n"
    "\n"
    "Confronta o que a ECF registrou com o que o contribuinte escriturou na EFD ICMS/IPI\n"
    "(SPED Fiscal): cada redução Z (C405), totalizador parcial (C420) e cupom (C460)\n"
    "declarado ao lado do E12, E13 e E14 dos arquivos COTEPE da mesma ECF (o número de\n"
    "fabricação do E01 igual ao ECF_FAB do C400). Arquivos COTEPE e EFD vêm em qualquer\n"
    "ordem; a EFD é reconhecida pela primeira linha \"|0000|\"; as pastas são buscadas\n"
    "com as subpastas. Cada arquivo COTEPE é validado como em \"validar\" (o log é gravado\n"
    "ao lado dele).\n"
    "  --tolerancia TEXTO  diferença aceita nos valores, em reais (padrão 0): reais\n"
    "                      inteiros (0, 10, 1.000) ou com vírgula e dois centavos (0,05)\n"
    "  --continuar         tipos de registro ausentes (o EAD de um arquivo cortado, por\n"
    "                      exemplo) viram avisos e os registros do arquivo são lidos\n"
    "  --json              as divergências em JSON (UTF-8)\n"
    "  --csv               as divergências em CSV (';', CR LF)\n"
    "\n"
    "Saída: 0 sem alertas, 1 com algum alerta, 2 quando algum arquivo não pôde ser lido\n"
    "(os demais são confrontados).\n";

enum class Output { Table, Json, Csv };

std::string shown(const std::string& cp1252) { return visibleText(cp1252ToUtf8(cp1252)); }
std::string day(const std::string& date) { return brazilianDate(date).value_or(date); }
std::string isoDate(const std::string& date) {
  return date.size() == 8 ? date.substr(0, 4) + "-" + date.substr(4, 2) + "-" + date.substr(6, 2) : date;
}
std::string levelName(IndicatorLevel level) { return cp1252ToUtf8(std::string(indicatorLevelName(level))); }

struct Inputs {
  std::vector<FileEvidence> cotepe;
  std::vector<EfdFile> efd;
  std::vector<std::string> problems;  // UTF-8, each "<path>: <reason>"
};

Inputs readInputs(const DiscoveredFiles& found, std::int64_t tolerance, bool continuing) {
  Inputs in;
  for (const DiscoveryProblem& p : found.problems) in.problems.push_back(cp1252ToUtf8(describeProblem(p)));
  // The EFD files are read while the COTEPE files are validated.
  std::future<std::vector<EfdFile>> efd = std::async(std::launch::async, [&found] {
    std::vector<EfdFile> files;
    for (const std::string& path : found.efdFiles) files.push_back(readEfdFile(path));
    return files;
  });
  ValidationSettings settings;
  settings.toleranceCents = tolerance;
  settings.continuing = continuing;
  settings.keepFindings = false;
  settings.efdEvidence = true;
  std::vector<std::string> logs;
  for (const std::string& file : found.files) logs.push_back(file + ".log");
  BatchInterrupt interrupt(logs);
  std::vector<FileOutcome> outcomes(found.files.size());
  std::vector<FileEvidence> evidence(found.files.size());
  runOnPool(found.files.size(), std::max(1u, std::thread::hardware_concurrency()), interrupt.stopped(),
            [&](std::size_t i) {
              FileRun run;
              ValidationSettings validation = settings;
              validation.logCreated = [&interrupt, i] { interrupt.logCreated(i); };
              interrupt.starting(i);
              outcomes[i] = validateForBatch(found.files[i], validation, nullptr, &run);
              interrupt.finished(i);
              evidence[i] = std::move(run.evidence);
            });
  for (std::size_t i = 0; i < found.files.size(); ++i) {
    const FileOutcome& o = outcomes[i];
    if (o.state == FileState::Interrupted) {
      in.problems.push_back(found.files[i] + ": interrompido");
    } else if (o.state == FileState::NotValidated) {
      in.problems.push_back(found.files[i] + ": " + o.problem);
    } else {
      if (!evidence[i].read)
        in.problems.push_back(found.files[i] +
                              cformat(": a validação parou antes dos registros (%d erro(s) de estrutura; veja o "
                                      "log)%s",
                                      o.errors, continuing ? "" : "; se faltam só tipos de registro, use --continuar"));
      in.cotepe.push_back(std::move(evidence[i]));
    }
  }
  in.efd = efd.get();
  for (const EfdFile& f : in.efd)
    if (!f.read) in.problems.push_back(f.path + ": " + cp1252ToUtf8(f.failure));
  return in;
}

std::string monthText(const std::string& month) { return month.substr(4, 2) + "/" + month.substr(0, 4); }

std::string tableOf(const std::vector<EfdComparison>& comparisons) {
  std::string out;
  std::size_t alerts = 0, informations = 0;
  for (const EfdComparison& c : comparisons) {
    const EfdFile& efd = *c.efd;
    out += "EFD " + visibleText(efd.path) + ": CNPJ " + shown(efd.cnpj) + ", " + shown(efd.name) + ", período " +
           day(efd.start) + " a " + day(efd.end) + "\n";
    for (const EfdProblem& p : efd.problems)
      out += "  " + (p.line ? cformat("linha %d: ", p.line) : std::string()) + shown(p.message) + "\n";
    if (c.ecfs.empty()) out += "  Nenhuma ECF dos arquivos dados tem movimento nesse período nem é declarada nele.\n";
    for (const EfdEcfComparison& e : c.ecfs) {
      out += "  ECF " + shown(e.serial);
      out += e.efdLine ? cformat(" (C400 na linha %d)", e.efdLine) : std::string(" (sem C400)");
      out += "\n";
      for (const std::string& f : e.files) out += "    arquivo " + visibleText(f) + "\n";
      out += "    Mês      Reduções Z EFD/ECF  Venda bruta EFD    Venda bruta ECF    Diferença          Cupons EFD/ECF\n";
      for (const EfdMonthSummary& m : e.months)
        out += cformat("    %-8s %-19s %-18s %-18s %-18s %d/%d\n", monthText(m.month).c_str(),
                       cformat("%d/%d", m.reductionsDeclared, m.reductionsRecorded).c_str(),
                       brazilianMoney(m.grossDeclared).c_str(), brazilianMoney(m.grossRecorded).c_str(),
                       brazilianMoney(m.grossDeclared - m.grossRecorded).c_str(), m.couponsDeclared,
                       m.couponsRecorded);
      if (e.divergences.empty()) out += "    Nenhuma divergência.\n";
      for (const EfdDivergence& d : e.divergences) {
        (d.level == IndicatorLevel::Alerta ? alerts : informations)++;
        std::string where;
        if (d.efdLine) where += cformat("EFD linha %d", d.efdLine);
        if (!d.ecfFile.empty())
          where += (where.empty() ? "" : "; ") + visibleText(d.ecfFile) + cformat(" linha %d", d.ecfLine);
        out += std::string("    ") + (d.level == IndicatorLevel::Alerta ? "alerta" : "informação") + "  " + std::string(efdCheckCode(d.check)) + "  " + where + "\n      " +
               shown(d.sentence) + ".\n";
      }
    }
  }
  out += cformat("%zu alerta(s), %zu informação(ões) em %zu EFD(s).\n", alerts, informations, comparisons.size());
  return out;
}

nlohmann::ordered_json jsonOf(const std::vector<EfdComparison>& comparisons) {
  using Json = nlohmann::ordered_json;
  Json list = Json::array();
  for (const EfdComparison& c : comparisons) {
    const EfdFile& efd = *c.efd;
    Json doc = {{"arquivo", visibleText(efd.path)},
                {"cnpj", cp1252ToUtf8(efd.cnpj)},
                {"nome", cp1252ToUtf8(efd.name)},
                {"periodo", {{"inicio", isoDate(efd.start)}, {"fim", isoDate(efd.end)}}}};
    Json problems = Json::array();
    for (const EfdProblem& p : efd.problems) problems.push_back({{"linha", p.line}, {"mensagem", cp1252ToUtf8(p.message)}});
    doc["problemas"] = std::move(problems);
    Json ecfs = Json::array();
    for (const EfdEcfComparison& e : c.ecfs) {
      Json files = Json::array();
      for (const std::string& f : e.files) files.push_back(visibleText(f));
      Json months = Json::array();
      for (const EfdMonthSummary& m : e.months)
        months.push_back({{"mes", m.month.substr(0, 4) + "-" + m.month.substr(4, 2)},
                          {"reducoes_declaradas", m.reductionsDeclared},
                          {"reducoes_registradas", m.reductionsRecorded},
                          {"venda_bruta_declarada", decimalAmount(m.grossDeclared)},
                          {"venda_bruta_registrada", decimalAmount(m.grossRecorded)},
                          {"cupons_declarados", m.couponsDeclared},
                          {"cupons_registrados", m.couponsRecorded}});
      Json divergences = Json::array();
      for (const EfdDivergence& d : e.divergences) {
        const auto optional = [](const std::optional<std::int64_t>& v) { return v ? Json(*v) : Json(nullptr); };
        const auto text = [](const std::string& v) { return v.empty() ? Json(nullptr) : Json(v); };
        divergences.push_back({{"codigo", std::string(efdCheckCode(d.check))},
                               {"nivel", levelName(d.level)},
                               {"mensagem", cp1252ToUtf8(d.sentence)},
                               {"crz", optional(d.crz)},
                               {"coo", optional(d.coo)},
                               {"data", d.date.empty() ? Json(nullptr) : Json(isoDate(d.date))},
                               {"declarado", text(d.declared)},
                               {"registrado", text(d.recorded)},
                               {"linha_efd", d.efdLine ? Json(d.efdLine) : Json(nullptr)},
                               {"arquivo_ecf", d.ecfFile.empty() ? Json(nullptr) : Json(visibleText(d.ecfFile))},
                               {"linha_ecf", d.ecfLine ? Json(d.ecfLine) : Json(nullptr)}});
      }
      ecfs.push_back({{"numero_fabricacao", cp1252ToUtf8(e.serial)},
                      {"linha_c400", e.efdLine ? Json(e.efdLine) : Json(nullptr)},
                      {"arquivos", std::move(files)},
                      {"resumo", {{"meses", std::move(months)}, {"alertas", e.alerts()}}},
                      {"divergencias", std::move(divergences)}});
    }
    doc["ecfs"] = std::move(ecfs);
    list.push_back(std::move(doc));
  }
  return Json{{"efd", std::move(list)}};
}

std::string csvOf(const std::vector<EfdComparison>& comparisons) {
  CsvTable table;
  table.row({"arquivo_efd", "numero_fabricacao", "codigo", "nivel", "crz", "coo", "data", "declarado", "registrado",
             "linha_efd", "arquivo_ecf", "linha_ecf", "mensagem"});
  const auto number = [](const std::optional<std::int64_t>& v) { return v ? std::to_string(*v) : std::string(); };
  const auto line = [](int v) { return v ? std::to_string(v) : std::string(); };
  for (const EfdComparison& c : comparisons)
    for (const EfdEcfComparison& e : c.ecfs)
      for (const EfdDivergence& d : e.divergences)
        table.row({visibleCp1252(c.efd->path), e.serial, std::string(efdCheckCode(d.check)),
                   std::string(indicatorLevelName(d.level)), number(d.crz), number(d.coo), day(d.date), d.declared,
                   d.recorded, line(d.efdLine), visibleCp1252(d.ecfFile), line(d.ecfLine), d.sentence});
  return table.text();
}

}  // namespace

int runEfd(const Args& args) {
  const std::optional<ParsedArgs> parsed = parseArgs(
      args, {{"--tolerancia", true}, {"--continuar", false}, {"--json", false}, {"--csv", false}}, kUsage);
  if (!parsed) return kCannotRun;
  if (parsed->help) {
    std::fputs(kUsage, stdout);
    return kOk;
  }
  if (parsed->positional.empty()) return usageError(kUsage, "informe os arquivos COTEPE e EFD (ou as pastas)");
  if (parsed->has("--csv") && parsed->has("--json")) return usageError(kUsage, "use --csv ou --json, não os dois");
  const std::optional<std::int64_t> tolerance = toleranceOption(*parsed, kUsage, true);
  if (!tolerance) return kCannotRun;
  const DiscoveredFiles found = discoverCotepeAndEfdFiles(parsed->positional);
  if (found.efdFiles.empty() && found.problems.empty())
    return usageError(kUsage, "nenhuma EFD ICMS/IPI entre os arquivos dados (a primeira linha de uma EFD é \"|0000|\")");

  const Inputs in = readInputs(found, *tolerance, parsed->has("--continuar"));
  const std::vector<RecordedEcf> ecfs = gatherEcfs(in.cotepe);
  std::vector<EfdComparison> comparisons;
  for (const EfdFile& efd : in.efd)
    if (efd.read) comparisons.push_back(compareWithEfd(efd, ecfs, *tolerance));
  for (const std::string& p : in.problems) std::fprintf(stderr, "tavex-cli: %s\n", visibleText(p).c_str());

  if (parsed->has("--json")) {
    printOut(jsonOf(comparisons).dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n");
  } else if (parsed->has("--csv")) {
    printOut(csvOf(comparisons));  // cp1252, as every CSV of the program
  } else {
    printOut(tableOf(comparisons));
  }
  std::size_t alerts = 0;
  for (const EfdComparison& c : comparisons) alerts += c.alerts();
  const int status = !in.problems.empty() ? kCannotRun : alerts > 0 ? kFound : kOk;
  return finishStandardOutput(status);
}

}  // namespace tavex::cli
