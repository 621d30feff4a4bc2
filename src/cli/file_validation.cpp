#include "cli/file_validation.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>

#include "cotepe/br_format.h"
#include "cotepe/file_access.h"
#include "cotepe/file_kind.h"
#include "cotepe/text.h"
#include "indicators/indicator_collector.h"
#include "validation/finding_ranges.h"
#include "platform/platform.h"

namespace tavex::cli {

using json = nlohmann::ordered_json;

namespace {

std::string utf8(std::string_view cp1252) { return cp1252ToUtf8(trimRight(cp1252)); }

// The kind named by E01's command, when it is one of the four.
std::string kindOf(const LogHeader& header) { return std::string(fileKindRules(fileKindOf(header.command)).name); }

json orNull(std::int64_t value) { return value == 0 ? json(nullptr) : json(value); }

const char* stateName(FileState state) {
  switch (state) {
    case FileState::Validated: return "validado";
    case FileState::NotValidated: return "nao_validado";
    case FileState::Interrupted: return "interrompido";
  }
  return "";
}

// The JSON document's members before "achados" (an object still open, through
// `"achados":[`) and after them (closing it); defined with fileDocument.
std::string documentHead(const FileOutcome& outcome, const ValidationSettings& settings,
                         const ValidationSummary* summary);
std::string documentTail(const ValidationSummary* summary, const std::vector<Indicator>* indicators);

}  // namespace

void CollectingNotifier::showMessage(std::string_view text, std::string_view, Icon) {
  if (!messages.empty()) messages += ' ';
  for (const char c : trimRight(text)) messages += c == '\n' || c == '\r' ? ' ' : c;
}

bool hasEadRecord(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size <= 0) return false;
  const auto tailBytes = static_cast<std::streamoff>(kEadTailBytes);
  const std::streamoff from = size > tailBytes ? size - tailBytes : 0;
  in.seekg(from);
  std::string tail(static_cast<std::size_t>(size - from), '\0');
  in.read(tail.data(), static_cast<std::streamsize>(tail.size()));
  tail.resize(static_cast<std::size_t>(in.gcount()));
  return eadRecordStart(tail, from == 0).has_value();
}

std::string formatCents(std::int64_t cents) {
  const bool negative = cents < 0;
  const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(cents) : static_cast<std::uint64_t>(cents);
  return cformat("%s%llu,%02llu", negative ? "-" : "", static_cast<unsigned long long>(magnitude / 100),
                 static_cast<unsigned long long>(magnitude % 100));
}

FileOutcome notValidated(const std::string& path, std::string problem) {
  FileOutcome outcome;
  outcome.path = path;
  outcome.state = FileState::NotValidated;
  outcome.problem = std::move(problem);
  return outcome;
}

FileOutcome notValidated(const DiscoveryProblem& problem) {
  std::string reason = describeProblem(problem);
  if (reason.starts_with(problem.path + ": ")) reason.erase(0, problem.path.size() + 2);
  return notValidated(problem.path, cp1252ToUtf8(reason));
}

FileOutcome validateForBatch(const std::string& path, const ValidationSettings& settings, JsonDocument* document,
                             FileRun* run, FileFootprint* footprint) {
  const auto started = std::chrono::steady_clock::now();
  CollectingNotifier notifier;
  FindingCollector collector;
  report::ReportFindings capped(settings.reportFindingsPerGroup);
  const bool capping = document == nullptr && run != nullptr && settings.reportFindingsPerGroup > 0;
  ValidationOptions options(settings.today);
  options.continueAfterMissingRecords = settings.continuing;
  // Findings as data take consecutive missing COO numbers as one range each.
  std::optional<MissingCooRanges> documentRanges, keptRanges;
  if (document != nullptr) options.sinks.push_back(&documentRanges.emplace(*document));  // each written as it comes
  if (capping)
    options.sinks.push_back(&keptRanges.emplace(capped));
  else if (run != nullptr && settings.keepFindings)
    options.sinks.push_back(&keptRanges.emplace(collector));
  if (settings.sink != nullptr) options.sinks.push_back(settings.sink);
  options.logCreated = settings.logCreated;
  options.readTap = settings.readTap;
  IndicatorSettings indicatorSettings = settings.indicators;
  indicatorSettings.toleranceCents = settings.toleranceCents;
  IndicatorCollector indicators(indicatorSettings);
  FootprintCollector footprints(path);
  RecordObservers observers;
  // TAVEX_SEM_INDICIOS: the run without them, for the benchmark that weighs their cost.
  const bool withObservers = !settings.formatOnly && (document != nullptr || run != nullptr || footprint != nullptr);
  if (withObservers && (document != nullptr || run != nullptr) && std::getenv("TAVEX_SEM_INDICIOS") == nullptr)
    observers.add(indicators);
  if (withObservers && (run != nullptr || footprint != nullptr)) observers.add(footprints);
  EvidenceCollector evidence(path);
  if (withObservers && run != nullptr && settings.efdEvidence) observers.add(evidence);
  if (!observers.empty()) options.recordObserver = &observers;
  ValidationSummary summary = settings.formatOnly
                                  ? validateCotepeFileQuick(notifier, path, options)
                                  : validateCotepeFile(notifier, path, settings.toleranceCents, options);
  for (std::optional<MissingCooRanges>* ranges : {&documentRanges, &keptRanges})
    if (ranges->has_value()) (*ranges)->flush();
  FileOutcome outcome;
  outcome.path = path;
  outcome.state = summary.ran ? FileState::Validated : FileState::NotValidated;
  outcome.kind = kindOf(summary.header);
  outcome.serial = summary.header.serial.find('?') == std::string::npos ? utf8(summary.header.serial) : "";
  outcome.period = cp1252ToUtf8(summary.header.readablePeriod());
  outcome.errors = summary.errors;
  outcome.warnings = summary.warnings;
  // The full run learns it in its own read; otherwise the file's end is read.
  outcome.eadPresent = summary.ran && (summary.endsInEad ? *summary.endsInEad : hasEadRecord(path));
  outcome.problem = cp1252ToUtf8(notifier.messages);
  if (!summary.ran && outcome.problem.empty()) outcome.problem = "a validação não terminou";
  outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  const bool withIndicators = options.recordObserver != nullptr && summary.ran &&
                              (document != nullptr || run != nullptr) && std::getenv("TAVEX_SEM_INDICIOS") == nullptr;
  std::vector<Indicator> found;
  if (withIndicators) found = indicators.finish();
  // A file whose structure failed never reached its totals: its group goes on without it.
  FileFootprint gathered = footprints.finish(summary);
  if (footprint != nullptr) *footprint = run != nullptr ? gathered : std::move(gathered);
  if (document != nullptr)
    document->complete(documentHead(outcome, settings, &summary),
                       documentTail(&summary, withIndicators ? &found : nullptr));
  if (run != nullptr) {
    run->summary = std::move(summary);
    run->findings = std::move(capping ? capped.kept : collector.findings);
    if (capping) run->tally = std::move(capped.tally);
    run->indicators = std::move(found);
    run->footprint = std::move(gathered);
    if (settings.efdEvidence)
      run->evidence = evidence.finish(run->summary.ran && run->summary.reconciliation.has_value(), run->summary.header.serial);
  }
  return outcome;
}

namespace {

// Objects sized once and filled in place (the initializer-list form copies every
// member twice): a big file has tens of thousands of reconciliation rows.
json objectOf(std::size_t members) {
  json o(json::value_t::object);
  o.get_ref<json::object_t&>().reserve(members);
  return o;
}

void append(std::string& out, const json& value) {
  out += value.dump(-1, ' ', false, json::error_handler_t::replace);
}

// Appends `head` as an object still open, so that members too big to be built as
// one tree can follow it: "{…" without the closing brace. REQUIRES: head has members.
void appendOpen(std::string& out, const json& head) {
  append(out, head);
  out.pop_back();
}

json reconciliationHead(const Reconciliation& reconciliation) {
  json head = objectOf(5);
  head["tolerancia"] = reconciliation.toleranceCents;
  head["linhas_fora_da_tolerancia"] = reconciliation.rowsOverTolerance();
  head["completa"] = reconciliation.complete;
  head["desligada_na_linha"] = orNull(reconciliation.switchedOffAtLine);
  return head;
}

// A string as the library writes it. Printable ASCII other than the quote and the
// backslash stands for itself in JSON, so such a string (a record tag, a date, most
// totalizer names) is copied; anything else is left to the library's escaping.
bool isPlain(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return c >= 0x20 && c <= 0x7e && c != '"' && c != '\\'; });
}

void appendString(std::string& out, std::string_view utf8Text) {
  if (!isPlain(utf8Text)) return append(out, json(std::string(utf8Text)));
  out += '"';
  out += utf8Text;
  out += '"';
}

// A cp1252 text from the file, as UTF-8 (ASCII is the same in both).
void appendCp1252(std::string& out, std::string_view text) {
  isPlain(text) ? appendString(out, text) : appendString(out, cp1252ToUtf8(text));
}

void appendInt(std::string& out, std::int64_t value) {
  char digits[24];  // an int64 has at most 20 characters with its sign
  const auto [end, error] = std::to_chars(std::begin(digits), std::end(digits), value);
  out.append(digits, end);
}

// A line number: null when there is none, as orNull gives it.
void appendLine(std::string& out, int line) { line == 0 ? void(out += "null") : appendInt(out, line); }

// The reconciliation table reduction by reduction and row by row, written straight
// as text: a 30 MB file has 20,000 rows and a tree of them costs more than the
// validation that found them. The one writer of the table's JSON.
void appendReconciliation(std::string& out, const Reconciliation& reconciliation) {
  appendOpen(out, reconciliationHead(reconciliation));
  out += ",\"reducoes\":[";
  bool firstReduction = true;
  for (const ReductionReconciliation& r : reconciliation.reductions) {
    out += firstReduction ? "{\"crz\":" : ",{\"crz\":";
    firstReduction = false;
    appendInt(out, r.crz);
    out += ",\"linha\":";
    appendLine(out, r.line);
    out += ",\"data\":";
    appendCp1252(out, r.date);
    out += ",\"coo_inicial\":";
    appendInt(out, r.firstCoo);
    out += ",\"coo_final\":";
    appendInt(out, r.lastCoo);
    out += ",\"totais\":[";
    bool firstRow = true;
    for (const ReconciledTotal& t : r.totals) {
      out += firstRow ? "{\"registro\":" : ",{\"registro\":";
      firstRow = false;
      appendString(out, recordNameOf(t.kind));
      out += ",\"nome\":";
      appendCp1252(out, trimRight(t.name));
      out += ",\"linha\":";
      appendLine(out, t.line);
      out += ",\"declarado\":";
      appendInt(out, t.declared);
      out += ",\"calculado\":";
      appendInt(out, t.computed);
      out += ",\"diferenca\":";
      appendInt(out, t.difference);
      out += t.withinTolerance ? ",\"na_tolerancia\":true}" : ",\"na_tolerancia\":false}";
    }
    out += "]}";
  }
  out += "]}";
}

json findingJson(const Finding& f) {
  json out = {{"severidade", f.severity == Severity::Error ? "erro" : "aviso"},
              {"codigo", std::string(f.code)},
              {"mensagem", cp1252ToUtf8(f.message)},
              {"linha", orNull(f.place.line)},
              {"registro", orNull(f.place.recordType)},
              {"campo", orNull(f.place.field)},
              {"crz", orNull(f.place.crz)},
              {"coo", orNull(f.place.coo)},
              {"declarado", f.place.declared ? json(*f.place.declared) : json(nullptr)},
              {"calculado", f.place.computed ? json(*f.place.computed) : json(nullptr)}};
  if (f.place.lastCoo > f.place.coo) {  // a range of COO numbers
    out["coo_final"] = f.place.lastCoo;
    out["quantidade"] = cooCountOf(f.place);
  }
  return out;
}

}  // namespace

void setFileName(json& doc, const std::string& path) {
  if (isValidUtf8(path)) {
    doc["arquivo"] = path;
    return;
  }
  doc["arquivo"] = visibleText(path);
  std::string bytes;
  for (const char c : path) bytes += cformat("%02x", static_cast<unsigned char>(c));
  doc["arquivo_bytes"] = std::move(bytes);
}

json reconciliationJson(const Reconciliation& reconciliation) {
  std::string text;
  appendReconciliation(text, reconciliation);
  return json::parse(text);
}

namespace {

// One indicator; "arquivos" for one across files, and for the consequences of one
// cause their count, the last line and each of them ("lista").
json indicatorJson(const Indicator& i) {
  json item = {{"codigo", std::string(i.code)},
               {"nivel", std::string(indicatorLevelName(i.level))},
               {"mensagem", cp1252ToUtf8(i.sentence)},
               {"linha", orNull(i.line)},
               {"registro", orNull(i.recordType)},
               {"crz", orNull(i.crz)},
               {"coo", orNull(i.coo)},
               {"esperado", cp1252ToUtf8(i.expected)},
               {"encontrado", cp1252ToUtf8(i.found)}};
  if (!i.files.empty()) {
    json files = json::array();
    for (const std::string& path : i.files) files.push_back(visibleText(path));
    item["arquivos"] = std::move(files);
  }
  if (i.count > 1) {
    item["ocorrencias"] = i.count;
    item["ultima_linha"] = orNull(i.lastLine);
    json members = json::array();
    for (const Indicator& member : i.members) members.push_back(indicatorJson(member));
    item["lista"] = std::move(members);
  }
  return item;
}

}  // namespace

std::string indicatorsJson(const std::vector<Indicator>& indicators) {
  json list = json::array();
  for (const Indicator& i : indicators) list.push_back(indicatorJson(i));
  std::string out;
  append(out, list);
  return out;
}

namespace {

// The document's members before "achados", as an object still open.
std::string documentHead(const FileOutcome& outcome, const ValidationSettings& settings,
                         const ValidationSummary* summary) {
  json doc;
  setFileName(doc, outcome.path);
  doc["situacao"] = stateName(outcome.state);
  doc["problema"] = outcome.problem.empty() ? json(nullptr) : json(outcome.problem);
  doc["validacao"] = settings.formatOnly ? "formato" : "completa";
  doc["tipo"] = outcome.kind.empty() ? json(nullptr) : json(outcome.kind);
  if (summary != nullptr) {
    const LogHeader& h = summary->header;
    doc["cabecalho"] = {{"numero_fabricacao", utf8(h.serial)},  {"mf_adicional", utf8(h.mfAdicional)},
                        {"tipo_ecf", utf8(h.ecfType)},          {"marca_modelo", utf8(h.brandModel)},
                        {"versao_sb", utf8(h.sbVersion)},       {"sequencia", utf8(h.sequence)},
                        {"comando", utf8(h.command)},           {"periodo", utf8(h.period)},
                        {"versao_dll", utf8(h.dllVersion)},     {"versao_ato", utf8(h.atoVersion)},
                        {"cnpj", utf8(h.cnpj)},                 {"ie", utf8(h.ie)},
                        {"contribuinte", utf8(h.name)},         {"endereco", utf8(h.address)},
                        {"cadastro", utf8(h.registered)}};
  } else {
    doc["cabecalho"] = nullptr;
  }
  doc["contagens"] = {{"erros", outcome.errors}, {"avisos", outcome.warnings}};
  doc["ead_presente"] = outcome.eadPresent;

  std::string out;
  appendOpen(out, doc);
  out += ",\"achados\":[";
  return out;
}

// The document's members after "achados", closing it.
std::string documentTail(const ValidationSummary* summary, const std::vector<Indicator>* indicators) {
  std::string out = "],\"conciliacao\":";
  if (summary != nullptr && summary->reconciliation) {
    std::size_t rows = 0;
    for (const ReductionReconciliation& r : summary->reconciliation->reductions) rows += 1 + r.totals.size();
    out.reserve(128 * rows);  // about what each takes
    appendReconciliation(out, *summary->reconciliation);
  } else {
    out += "null";
  }
  out += ",\"indicios\":";
  out += indicators != nullptr ? indicatorsJson(*indicators) : std::string("null");
  out += '}';
  return out;
}

}  // namespace

std::string fileDocument(const FileOutcome& outcome, const ValidationSettings& settings,
                         const ValidationSummary* summary, const std::vector<Finding>& findings,
                         const std::vector<Indicator>* indicators) {
  std::string out = documentHead(outcome, settings, summary);
  for (std::size_t i = 0; i < findings.size(); ++i) {
    if (i > 0) out += ',';
    append(out, findingJson(findings[i]));
  }
  return out + documentTail(summary, indicators);
}

void JsonDocument::SpillClose::operator()(std::FILE* f) const { std::fclose(f); }

namespace {

// A file with no name in `folder`, gone when closed; nullptr (errno set) when it
// cannot be made.
std::FILE* namelessFileIn(const std::string& folder) {
  const int fd = platform::namelessTempFile(folder);
  if (fd < 0) return nullptr;
  std::FILE* file = ::fdopen(fd, "w+b");
  if (file == nullptr) ::close(fd);
  return file;
}

}  // namespace

void JsonDocument::onFinding(const Finding& finding) {
  if (!first_) findings_ += ',';
  first_ = false;
  append(findings_, findingJson(finding));
  if (findings_.size() < kKeptBytes || failed_) return;
  errno = 0;
  if (!spill_) {
    const char* folder = std::getenv("TMPDIR");
    spillFolder_ = folder != nullptr && *folder != '\0' ? folder : "/tmp";
    spill_.reset(namelessFileIn(spillFolder_));
  }
  if (!spill_ || std::fwrite(findings_.data(), 1, findings_.size(), spill_.get()) != findings_.size() ||
      std::fflush(spill_.get()) != 0) {
    failed_ = true;
    spillError_ = errno != 0 ? errno : EIO;
  }
  findings_.clear();
}

std::string JsonDocument::failure() const {
  if (failed_)
    return "o arquivo temporário dos achados não pôde ser gravado na pasta " + spillFolder_ + ": " +
           cp1252ToUtf8(systemReason(spillError_)) + " (a variável TMPDIR escolhe outra pasta)";
  if (outError_ != 0) return "a saída não pôde ser gravada: " + cp1252ToUtf8(systemReason(outError_));
  return {};
}

void JsonDocument::complete(std::string head, std::string tail) {
  head_ = std::move(head);
  tail_ = std::move(tail);
}

bool JsonDocument::writeTo(std::FILE* out) const {
  if (failed_) return false;
  const auto put = [this, out](std::string_view text) {
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), out) == text.size()) return true;
    outError_ = errno != 0 ? errno : EIO;
    return false;
  };
  if (!put(head_)) return false;
  if (spill_) {
    if (std::fflush(spill_.get()) != 0 || std::fseek(spill_.get(), 0, SEEK_SET) != 0) return false;
    std::vector<char> block(1 << 16);
    for (std::size_t n; (n = std::fread(block.data(), 1, block.size(), spill_.get())) > 0;)
      if (!put(std::string_view(block.data(), n))) return false;
    if (std::ferror(spill_.get()) != 0) return false;
  }
  return put(findings_) && put(tail_);
}

std::string JsonDocument::text() const {
  std::string out = head_;
  if (spill_) {
    std::fflush(spill_.get());
    std::fseek(spill_.get(), 0, SEEK_SET);
    std::vector<char> block(1 << 16);
    for (std::size_t n; (n = std::fread(block.data(), 1, block.size(), spill_.get())) > 0;) out.append(block.data(), n);
  }
  return out + findings_ + tail_;
}

}  // namespace tavex::cli
