#include <algorithm>
#include <atomic>
#include <future>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "cli/commands.h"
#include "cli/ecf_groups.h"
#include "cli/file_validation.h"
#include "cli/terminal_ui.h"
#include "cli/work_pool.h"
#include "cotepe/file_discovery.h"
#include "cotepe/text.h"
#include "efd/efd_comparison.h"
#include "printer/manufacturer_catalogue.h"
#include "report/report_file.h"
#include "tavex_version.h"

namespace tavex::cli {

namespace {

const char* const kUsage =
    "Uso: tavex-cli relatorio ARQUIVO|PASTA... [--tolerancia TEXTO] [--continuar]\n"
    "                         [--fabricante NOME [--modelo NOME]] --saida RELATORIO.html\n"
    "\n"
    "Valida os arquivos COTEPE (as pastas são buscadas com as subpastas, como em\n"
    "\"validar\"; o log de cada arquivo é gravado ao lado dele) e grava o relatório de\n"
    "auditoria em RELATORIO.html: uma página única, sem arquivos externos, com a\n"
    "identificação do ECF e do contribuinte, o veredito por família de achado, a\n"
    "assinatura EAD (verificada quando o catálogo da pasta atual tem a chave do\n"
    "fabricante), a conciliação das reduções Z com um gráfico das diferenças e os\n"
    "achados com o texto do registro. Com vários arquivos, começa por uma tabela de\n"
    "resumo e pelos arquivos agrupados por ECF (reduções Z presentes e que faltam,\n"
    "arquivos que divergem, indícios entre arquivos) e, em cada ECF, pela conciliação\n"
    "de cada MFD com cada MF do seu período, como em \"conciliar MF MFD\" (os dois\n"
    "arquivos são lidos de novo). Para um PDF, imprima a página no navegador (veja os\n"
    "EXEMPLOS de tavex-cli(1): man tavex-cli). Arquivos da EFD ICMS/IPI dados com os\n"
    "arquivos COTEPE (a primeira linha \"|0000|\") acrescentam a seção \"ECF × EFD\": por\n"
    "ECF e mês, o escriturado ao lado do registrado e as divergências, como em \"efd\".\n"
    "  --tolerancia TEXTO  tolerância em reais (padrão 0): reais inteiros (0, 10, 1.000)\n"
    "                      ou com vírgula e dois centavos (0,05 = 5 centavos, 1.000,00)\n"
    "  --continuar         tipos de registro ausentes viram avisos; quando só eles\n"
    "                      faltam, segue com as linhas e os totais\n"
    "  --fabricante NOME   verifica a assinatura com a chave do fabricante NOME do\n"
    "                      catálogo da pasta atual (NOME/NOME.xml), como \"assinatura\";\n"
    "                      sem ela, com a do fabricante que o E01 informa\n"
    "  --modelo NOME       o modelo, quando o fabricante tem uma chave por modelo\n"
    "                      (sem ele, o modelo do E01)\n"
    "  --saida ARQUIVO     o relatório a gravar (substituído se existir; nunca um\n"
    "                      dos arquivos relatados nem o log de um deles)\n"
    "\n"
    "Saída: 0 sem erros, 1 com erros em algum arquivo, algum total de um par MF × MFD\n"
    "acima da tolerância ou algum alerta da EFD, 2 quando algum arquivo não pôde ser\n"
    "validado ou lido ou o relatório não pôde ser gravado.\n";

// The report's summary by ECF: the groups of the validated files, with indices into
// the report's files, and their MF × MFD pairs reconciled.
std::vector<report::EcfSummary> ecfSummaries(const std::vector<EcfGroup>& groups,
                                             const std::vector<FileFootprint>& footprints,
                                             std::vector<std::vector<BatchPair>> pairs,
                                             const std::vector<std::size_t>& fileOf) {
  std::vector<report::EcfSummary> out;
  for (std::size_t g = 0; g < groups.size(); ++g) {
    const EcfGroup& group = groups[g];
    report::EcfSummary& ecf = out.emplace_back();
    ecf.caption = cp1252ToUtf8(ecfCaption(group));
    ecf.coverage = group.known ? cp1252ToUtf8(coverageText(group)) : "";
    for (std::size_t i : group.files) ecf.files.push_back(fileOf[i]);
    for (std::size_t i : group.files)
      if (footprints[i].withoutEad) ecf.withoutEad.push_back(fileOf[i]);
    for (std::size_t i : group.excluded) {
      ecf.excluded.push_back(fileOf[i]);
      ecf.excludedWhy.push_back(cp1252ToUtf8(exclusionReason(footprints[i])));
    }
    for (const Indicator& x : group.indicators) {
      if (x.code != "indicio.arquivos.divergencia") continue;
      for (const std::string& name : x.files)
        if (std::find(ecf.disagreeing.begin(), ecf.disagreeing.end(), name) == ecf.disagreeing.end())
          ecf.disagreeing.push_back(name);
    }
    ecf.indicators = group.indicators;
    for (BatchPair& pair : pairs[g]) {
      pair.mf = fileOf[pair.mf];
      pair.mfd = fileOf[pair.mfd];
      ecf.pairs.push_back(std::move(pair));
    }
  }
  return out;
}

}  // namespace

int runRelatorio(const Args& args) {
  const std::optional<ParsedArgs> parsed =
      parseArgs(args,
                {{"--tolerancia", true}, {"--continuar", false}, {"--saida", true}, {"--fabricante", true},
                 {"--modelo", true}},
                kUsage);
  if (!parsed) return kCannotRun;
  if (parsed->help) {
    std::fputs(kUsage, stdout);
    return kOk;
  }
  if (parsed->positional.empty()) return usageError(kUsage, "informe o arquivo a relatar");
  const std::optional<std::string> output = parsed->value("--saida");
  if (!output || output->empty()) return usageError(kUsage, "informe o relatório a gravar (--saida RELATORIO.html)");

  ValidationSettings settings;
  settings.continuing = parsed->has("--continuar");
  const std::optional<std::int64_t> tolerance = toleranceOption(*parsed, kUsage, true);
  if (!tolerance) return kCannotRun;
  settings.toleranceCents = *tolerance;
  std::optional<report::SignatureMaker> maker;
  if (const std::optional<std::string> manufacturer = parsed->value("--fabricante")) {
    maker = report::SignatureMaker{*manufacturer, utf8ToCp1252(parsed->value("--modelo").value_or(""))};
    TerminalUserInterface ui;
    ManufacturerCatalogue catalogue;
    catalogue.loadCatalogue(ui, ".");
    if (!requireManufacturer(catalogue, *manufacturer)) return kCannotRun;
  } else if (parsed->has("--modelo")) {
    return usageError(kUsage, "--modelo só vale com --fabricante");
  }
  report::ReportOptions options;
  options.generatedAt = report::localDateTime();
  options.version = kVersion;
  settings.reportFindingsPerGroup = options.findingsPerGroup;  // the rest is only counted

  const DiscoveredFiles discovered = discoverCotepeAndEfdFiles(parsed->positional);
  // EFD files given with them are read while the COTEPE files are validated.
  std::future<std::vector<EfdFile>> efdFiles = std::async(std::launch::async, [&discovered] {
    std::vector<EfdFile> read;
    for (const std::string& path : discovered.efdFiles) read.push_back(readEfdFile(path));
    return read;
  });
  settings.efdEvidence = !discovered.efdFiles.empty();
  std::vector<std::string> inputs = discovered.files;
  inputs.insert(inputs.end(), discovered.efdFiles.begin(), discovered.efdFiles.end());
  for (const DiscoveryProblem& p : discovered.problems) inputs.push_back(p.path);
  if (const std::string clash = outputClash(*output, inputs); !clash.empty()) {
    std::fprintf(stderr, "tavex-cli: %s\n", clash.c_str());
    return kCannotRun;
  }
  std::vector<FileOutcome> outcomes(discovered.files.size());
  std::vector<report::ReportedFile> files(discovered.files.size());
  std::vector<FileFootprint> footprints(discovered.files.size());
  std::vector<report::FileFacts> facts(discovered.files.size());  // size, hash, signature and line index
  std::vector<FileEvidence> evidence(discovered.files.size());
  std::vector<std::string> logs;
  for (const std::string& file : discovered.files) logs.push_back(file + ".log");
  BatchInterrupt interrupt(std::move(logs));
  runOnPool(discovered.files.size(), std::max(1u, std::thread::hardware_concurrency()), interrupt.stopped(),
            [&](std::size_t i) {
    const std::string& path = discovered.files[i];
    FileRun run;
    ValidationSettings validation = settings;
    validation.logCreated = [&interrupt, i] { interrupt.logCreated(i); };
    validation.readTap = [&facts, i](std::string_view raw) { facts[i].add(raw); };
    interrupt.starting(i);
    outcomes[i] = validateForBatch(path, validation, nullptr, &run);
    interrupt.finished(i);
    const std::string problem = outcomes[i].state == FileState::Validated ? std::string() : outcomes[i].problem;
    files[i] = report::reportedFileOf(path, &run.summary, std::move(run.findings), problem, false, ".",
                                      options.findingsPerGroup, std::move(run.indicators), maker ? &*maker : nullptr,
                                      &facts[i]);
    files[i].tally = std::move(run.tally);
    footprints[i] = std::move(run.footprint);
    evidence[i] = std::move(run.evidence);
  });
  // The MF × MFD pairs of each ECF, once every file had its own run.
  std::vector<FileFootprint> validated;
  std::vector<std::size_t> fileOf;
  for (std::size_t i = 0; i < footprints.size(); ++i)
    if (outcomes[i].state == FileState::Validated) {
      validated.push_back(std::move(footprints[i]));
      fileOf.push_back(i);
    }
  const std::vector<EcfGroup> groups = groupByEcf(validated);
  std::vector<std::vector<BatchPair>> pairs;
  if (discovered.files.size() + discovered.problems.size() > 1 && !interrupt.stopped().load()) {
    PairOptions pairing;
    pairing.continueAfterMissingRecords = settings.continuing;
    pairs = reconcileGroupPairs(groups, validated, settings.toleranceCents, pairing,
                                std::max(1u, std::thread::hardware_concurrency()), interrupt.stopped());
  }
  if (interrupt.stopped().load()) {
    std::fputs("tavex-cli: interrompido; os logs dos arquivos validados estão inteiros e nenhum relatório foi "
               "gravado\n",
               stderr);
    return kCannotRun;
  }
  for (const DiscoveryProblem& p : discovered.problems) {
    outcomes.push_back(notValidated(p));
    report::ReportedFile file;
    file.path = p.path;
    file.problem = outcomes.back().problem;
    files.push_back(std::move(file));
  }

  const bool pairsOver = pairsOverTolerance(pairs);
  if (files.size() > 1) options.ecfs = ecfSummaries(groups, validated, std::move(pairs), fileOf);

  // The ECFs against the EFD files, with the records their divergences cite.
  const std::vector<EfdFile> efd = efdFiles.get();
  bool efdUnread = false;
  if (!efd.empty()) {
    std::vector<FileEvidence> read;
    for (std::size_t i = 0; i < evidence.size(); ++i)
      if (outcomes[i].state == FileState::Validated) read.push_back(std::move(evidence[i]));
    const std::vector<RecordedEcf> ecfs = gatherEcfs(std::move(read));
    for (const EfdFile& f : efd) {
      if (f.read) {
        options.efd.push_back(compareWithEfd(f, ecfs, settings.toleranceCents));
        continue;
      }
      std::fprintf(stderr, "tavex-cli: %s: %s\n", visibleText(f.path).c_str(), visibleText(cp1252ToUtf8(f.failure)).c_str());
      efdUnread = true;
    }
    for (std::size_t i = 0; i < discovered.files.size(); ++i) {
      std::vector<int> wanted;
      for (const EfdComparison& c : options.efd)
        for (const EfdEcfComparison& e : c.ecfs)
          for (const EfdDivergence& d : e.divergences)
            if (d.ecfLine > 0 && d.ecfFile == discovered.files[i]) wanted.push_back(d.ecfLine);
      if (!wanted.empty()) files[i].records.merge(facts[i].linesOf(discovered.files[i], wanted));
    }
  }

  int status = efdUnread ? kCannotRun : kOk;
  for (const FileOutcome& o : outcomes) {
    if (o.state != FileState::Validated) {
      std::fprintf(stderr, "tavex-cli: %s: %s\n", visibleText(o.path).c_str(), visibleText(o.problem).c_str());
      status = kCannotRun;
    } else if (o.errors > 0 && status == kOk) {
      status = kFound;
    }
  }
  if (status == kOk && pairsOver) status = kFound;  // as conciliar MF MFD counts them
  for (const EfdComparison& c : options.efd)
    if (status == kOk && c.alerts() > 0) status = kFound;
  std::string notice;
  if (const std::string failure = report::writeAuditReport(*output, files, options, &notice); !failure.empty()) {
    std::fprintf(stderr, "tavex-cli: %s\n", visibleText(failure).c_str());
    return kCannotRun;
  }
  if (!notice.empty()) std::fprintf(stderr, "tavex-cli: aviso: %s\n", visibleText(notice).c_str());
  return status;
}

}  // namespace tavex::cli
