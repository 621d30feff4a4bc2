#include "validation/validate.h"

#include <ctime>
#include <string>

#include "cotepe/file_access.h"
#include "cotepe/line_reader.h"
#include "cotepe/record_layout.h"
#include "cotepe/text.h"
#include "validation/messages.h"
#include "validation/record_check.h"
#include "validation/structure_scan.h"
#include "validation/totals.h"
#include "validation/validation_run.h"

namespace tavex {

namespace {

const std::string kDashes(92, '-');

// After the header of a run that goes on past missing record types.
const std::string kContinuing =
    "Validação continuada (--continuar): tipos de registro ausentes não interrompem a validação.\n\n"_cp;

std::string text(std::string_view field) { return std::string(field); }

LogHeader gatherHeader(LineReader& file) {
  LogHeader values;
  file.rewind();
  std::string_view raw;
  if (!file.next(raw)) return values;
  std::string_view line = stripLineEnd(raw);
  if (recordTypeOf(line) == 1) {
    const auto f = [&](E01 id) { return text(fieldOf(line, id)); };
    values.serial = f(E01::NumeroFabricacao);
    values.mfAdicional = f(E01::MfAdicional);
    values.ecfType = f(E01::TipoEcf);
    values.brandModel = cformat("%s / %s", text(trimRight(fieldOf(line, E01::Marca))).c_str(),
                                text(trimRight(fieldOf(line, E01::Modelo))).c_str());
    values.sbVersion = f(E01::VersaoSb);
    values.sequence = f(E01::NumeroSequencial);
    values.command = f(E01::ComandoGeracao);
    const std::string start = f(E01::DataInicial), end = f(E01::DataFinal);
    values.period = cformat("%2.2s/%2.2s/%4.4s  até  %2.2s/%2.2s/%4.4s"_cp, text(sliceField(start, 7, 2)).c_str(),
                            text(sliceField(start, 5, 2)).c_str(), text(sliceField(start, 1, 4)).c_str(),
                            text(sliceField(end, 7, 2)).c_str(), text(sliceField(end, 5, 2)).c_str(),
                            text(sliceField(end, 1, 4)).c_str());
    values.dllVersion = f(E01::VersaoDll);
    values.atoVersion = f(E01::VersaoAtoCotepe);
  }
  if (!file.next(raw)) return values;
  line = stripLineEnd(raw);
  if (recordTypeOf(line) == 2) {
    values.cnpj = text(fieldOf(line, E02::Cnpj));
    values.ie = text(fieldOf(line, E02::Ie));
    values.name = text(trimRight(fieldOf(line, E02::Contribuinte)));
    values.address = text(trimRight(fieldOf(line, E02::Endereco)));
    const std::string date = text(fieldOf(line, E02::DataCadastro)), time = text(fieldOf(line, E02::HoraCadastro));
    values.registered = cformat("%2.2s/%2.2s/%4.4s às %2.2s:%2.2s:%2.2s"_cp, text(sliceField(date, 7, 2)).c_str(),
                                text(sliceField(date, 5, 2)).c_str(), text(sliceField(date, 1, 4)).c_str(),
                                text(sliceField(time, 1, 2)).c_str(), text(sliceField(time, 3, 2)).c_str(),
                                text(sliceField(time, 5, 2)).c_str());
  }
  return values;
}

void writeHeader(ValidationLog& log, const std::string& path, const LogHeader& v) {
  std::string out = kDashes + "\n";
  out += cformat("Arquivo cotepe: %s\n\n", utf8ToCp1252(path).c_str());
  out += cformat("Nº de fabricação do ECF:  %s\n"_cp, v.serial.c_str());
  out += cformat("MF Adicional:             %s\n", v.mfAdicional.c_str());
  out += cformat("Tipo do ECF:              %s\n", v.ecfType.c_str());
  out += cformat("Marca / Modelo:           %s\n", v.brandModel.c_str());
  out += cformat("Versão do SB:             %s\n"_cp, v.sbVersion.c_str());
  out += cformat("Número seqüencial do ECF: %s\n"_cp, v.sequence.c_str());
  out += cformat("Comando de geração:       %s\n"_cp, v.command.c_str());
  out += cformat("Período:                  %s\n"_cp, v.period.c_str());
  out += cformat("Versão da biblioteca:     %s\n"_cp, v.dllVersion.c_str());
  out += cformat("Versão do Ato Cotepe:     %s\n"_cp, v.atoVersion.c_str());
  out += cformat("CNPJ:                     %s\n", v.cnpj.c_str());
  out += cformat("IE:                       %s\n", v.ie.c_str());
  out += cformat("Nome do contribuinte:     %s\n", v.name.c_str());
  out += cformat("Endereço:                 %s\n"_cp, v.address.c_str());
  out += cformat("Data e hora do cadastro:  %s\n", v.registered.c_str());
  out += kDashes + "\n";
  out += "\n";
  log.appendLog(out);
}

void writeSummary(ValidationLog& log) {
  std::string out = "\n" + kDashes + "\n";
  out += cformat("%d erro(s) encontrado(s).\n", log.errorCount());
  out += cformat("%d avisos(s) encontrado(s).\n", log.warningCount());
  out += "\n";
  out += "Fim da validação do arquivo.\n"_cp;
  out += "\n\n\n";
  log.appendLog(out);
}

// Opens the file and creates the log, telling the user when either fails.
bool startRun(ValidationRun& run, LineReader& file, const std::string& path) {
  if (path.empty()) {
    run.notifier.showMessage(msg::kNoOpenFile, msg::kTitleTavexError, Icon::Error);
    return false;
  }
  if (!file.open(path)) {
    run.notifier.showMessage(file.notRegular() ? kNotRegularInput : msg::kCannotOpenCotepe, msg::kTitleError, Icon::Error);
    return false;
  }
  const std::string logPath = path + ".log";
  const std::string shownLog = utf8ToCp1252(logPath);
  std::string refusal;
  switch (run.log.create(logPath)) {
    case ValidationLog::Creation::Created: return true;
    case ValidationLog::Creation::Failed:
      refusal = msg::kCannotCreateLog;
      if (!run.log.creationCause().empty()) refusal += "\n" + run.log.creationCause();
      break;
    case ValidationLog::Creation::Symlink: refusal = cformat(kSymlinkRefused, shownLog.c_str()); break;
    case ValidationLog::Creation::NotRegular: refusal = cformat(kNotRegularOutput, shownLog.c_str()); break;
    case ValidationLog::Creation::Busy: refusal = cformat(kFileInUse, shownLog.c_str()); break;
  }
  file.close();
  run.notifier.showMessage(refusal, msg::kTitleError, Icon::Error);
  return false;
}

// A read that failed ends the run: what follows would be findings about a file
// cut short. The user is told as for a file that cannot be opened.
bool readFailed(ValidationRun& run, LineReader& file) {
  if (!file.readFailed()) return false;
  run.notifier.showMessage(msg::kCannotOpenCotepe, msg::kTitleError, Icon::Error);
  return true;
}

// The line pass: every line to its record check, counting empty lines too.
void checkLines(ValidationRun& run, LineReader& file, CheckMode mode) {
  file.rewind();
  int lineNumber = 0;
  std::string_view raw;
  while (file.next(raw)) checkRecordLine(run, stripLineEnd(raw), ++lineNumber, mode);
}

ValidationSummary finish(ValidationRun& run) {
  writeSummary(run.log);
  run.log.close();
  ValidationSummary summary;
  summary.ran = !run.log.writeFailed();
  summary.errors = run.log.errorCount();
  summary.warnings = run.log.warningCount();
  return summary;
}

void prepare(ValidationRun& run, const ValidationOptions& options) {
  if (options.logCreated) options.logCreated();
  run.log.setEcho(options.echo);
  for (FindingSink* sink : options.sinks) run.attach(*sink);
  run.observer = options.recordObserver;
  run.today = options.today.empty() ? localToday() : options.today;
}

ValidationSummary abandon(ValidationRun& run) {
  run.log.close();
  ValidationSummary summary;
  summary.errors = run.log.errorCount();
  summary.warnings = run.log.warningCount();
  return summary;
}

// The start every run shares: the file and its log opened, the header read and
// written. False when the run cannot go on (the user was told); `failed` is then
// its answer.
bool openRun(ValidationRun& run, LineReader& file, const std::string& path, const ValidationOptions& options,
             LogHeader& header, ValidationSummary& failed) {
  if (!startRun(run, file, path)) return false;
  prepare(run, options);
  header = gatherHeader(file);
  if (readFailed(run, file)) {
    failed = abandon(run);
    return false;
  }
  writeHeader(run.log, path, header);
  return true;
}

}  // namespace

std::string localToday() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return cformat("%4.4d%2.2d%2.2d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

ValidationSummary validateCotepeFile(Notifier& notifier, const std::string& path, std::int64_t toleranceCents,
                                     const ValidationOptions& options) {
  ValidationRun run(notifier);
  run.toleranceCents = toleranceCents < 0 ? 0 : toleranceCents;
  LineReader file;
  LogHeader header;
  if (ValidationSummary failed; !openRun(run, file, path, options, header, failed)) return failed;
  if (options.continueAfterMissingRecords) run.log.appendLog(kContinuing);

  // One read examines the structure and checks the lines together; the lines'
  // findings wait until the structure is known to hold. Past the options' budget of
  // them the checks stop, and the lines are read again once the structure has passed.
  StructureScanner scanner(run, file, options.continueAfterMissingRecords);
  bool checked = true;  // every line read so far went to its record check
  file.rewind();
  int lineNumber = 0;
  std::string_view raw;
  bool readToTheEnd = true;
  bool lastIsEad = false;  // the last line with a character other than a blank or CR
  while (file.next(raw)) {
    if (options.readTap) options.readTap(raw);
    const std::string_view line = stripLineEnd(raw);
    if (line.find_first_not_of(" \r") != std::string_view::npos) lastIsEad = line.starts_with("EAD");
    if (!scanner.feed(line)) {
      readToTheEnd = false;
      break;
    }
    if (!checked) continue;
    run.setHolding(true);
    checkRecordLine(run, line, ++lineNumber, CheckMode::Full);
    run.setHolding(false);
    if (run.heldBytes() > options.heldFindingsBudget) {
      checked = false;
      run.restartRead();
      if (run.observer != nullptr) run.observer->onRestart();
    }
  }
  if (readFailed(run, file)) return abandon(run);
  const StructureVerdict structure = scanner.finish();
  const bool structureHolds = structure == StructureVerdict::Passed ||
                              (structure == StructureVerdict::OnlyMissingRecords && options.continueAfterMissingRecords);
  // The size pass runs only to report: the structure pass already saw whether it would.
  const bool sizesHold = structureHolds && (scanner.sizesHold() || scanRecordSizes(file, run));
  if (readFailed(run, file)) return abandon(run);
  std::optional<Reconciliation> reconciliation;
  if (!sizesHold) {
    run.dropHeld();
  } else {
    if (checked) {
      run.releaseHeld();
    } else {
      checkLines(run, file, CheckMode::Full);
      if (readFailed(run, file)) return abandon(run);
    }
    file.close();
    if (checksCooSequence(run.fileKind)) reportMissingCoo(run);
    reconciliation = reconcile(run);
    reportReconciliation(run, *reconciliation);
  }
  ValidationSummary summary = finish(run);
  summary.header = header;
  summary.reconciliation = std::move(reconciliation);
  if (readToTheEnd) summary.endsInEad = lastIsEad;
  return summary;
}

ValidationSummary validateCotepeFileQuick(Notifier& notifier, const std::string& path,
                                          const ValidationOptions& options) {
  ValidationRun run(notifier);
  LineReader file;
  LogHeader header;
  if (ValidationSummary failed; !openRun(run, file, path, options, header, failed)) return failed;
  checkLines(run, file, CheckMode::FormatOnly);
  if (readFailed(run, file)) return abandon(run);
  ValidationSummary summary = finish(run);
  summary.header = header;
  return summary;
}

std::string LogHeader::readablePeriod() const {
  if (period.find('?') != std::string::npos) return "";
  std::string text = period;
  const std::string until = "  até  "_cp;
  if (const std::size_t at = text.find(until); at != std::string::npos) text.replace(at, until.size(), " a ");
  return text;
}

}  // namespace tavex
