#include "report/report_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "cotepe/br_format.h"
#include "cotepe/record_layout.h"
#include "indicators/file_indicators.h"
#include "printer/manufacturer_catalogue.h"
#include "signature/signed_file.h"
#include "validation/finding_ranges.h"

namespace tavex::report {

namespace {

// Answers nothing and keeps nothing: the catalogue's messages have no one to go to
// while a report is written (a manufacturer file that does not parse is skipped).
class SilentUserInterface : public UserInterface {
 public:
  void showMessage(std::string_view, std::string_view, Icon) override {}
  std::optional<std::string> chooseOpenFile(const OpenFileRequest&) override { return std::nullopt; }
  std::optional<std::string> chooseFolder(std::string_view) override { return std::nullopt; }
  WorkerOutcome runWithProgress(WorkerJob&, bool) override { return WorkerOutcome::NotStarted; }
};

class Cp1252Notifier : public Notifier {
 public:
  void showMessage(std::string_view text, std::string_view, Icon) override {
    if (!messages.empty()) messages += ' ';
    messages += trimRight(text);
  }
  std::string messages;
};

bool sameLetters(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

bool usable(const ModelKey& key) { return key.modulusPresent && key.exponentPresent; }

// The lines the report shows the text of, in order.
std::vector<int> citedLines(const ReportedFile& file, std::size_t findingsPerGroup) {
  std::vector<int> wanted = listedLines(file.findings, findingsPerGroup);
  const std::vector<int> cited = listedLines(file.indicators, findingsPerGroup);
  wanted.insert(wanted.end(), cited.begin(), cited.end());
  std::sort(wanted.begin(), wanted.end());
  wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());
  return wanted;
}

}  // namespace

void FileFacts::add(std::string_view rawLine) {
  lines_.add(rawLine);
  hash_.add(rawLine.data(), rawLine.size());
  signature_.add(rawLine);
}

void readFileFacts(ReportedFile& file, std::size_t findingsPerGroup) {
  const std::vector<int> wanted = citedLines(file, findingsPerGroup);
  std::FILE* f = std::fopen(file.path.c_str(), "rb");
  if (f == nullptr) return;
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(f, std::fclose);
  Sha256 hash;
  std::vector<char> buffer(1 << 20);
  std::uintmax_t size = 0;
  int line = 1;
  auto next = wanted.begin();
  std::string current;  // the wanted line being read
  std::size_t n;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), f)) > 0) {
    hash.add(buffer.data(), n);
    size += n;
    std::size_t at = 0;
    while (at < n && next != wanted.end()) {
      const char* end = static_cast<const char*>(std::memchr(buffer.data() + at, '\n', n - at));
      const std::size_t stop = end == nullptr ? n : static_cast<std::size_t>(end - buffer.data());
      if (line == *next) current.append(buffer.data() + at, stop - at);
      if (end == nullptr) break;
      if (line == *next) {
        file.records[line] = std::string(stripLineEnd(current));
        current.clear();
        ++next;
      }
      ++line;
      at = stop + 1;
    }
  }
  if (std::ferror(f) != 0) {
    file.records.clear();
    return;
  }
  if (next != wanted.end() && line == *next && !current.empty()) file.records[line] = std::string(stripLineEnd(current));
  file.sha256 = hash.hex();
  file.size = size;
}

void checkSignature(ReportedFile& file, const std::string& catalogueDirectory, const SignatureMaker* maker,
                    const StreamedSignature* streamed) {
  file.signature = SignatureCheck::NotChecked;
  if (!file.header) return;
  const std::string& brandModel = file.header->brandModel;  // "BRAND / MODEL", each trimmed
  const std::size_t slash = brandModel.find(" / ");
  if (slash == std::string::npos) return;
  const std::string brand = brandModel.substr(0, slash), model = brandModel.substr(slash + 3);
  if (brand.empty() && maker == nullptr) return;

  SilentUserInterface ui;
  ManufacturerCatalogue catalogue;
  catalogue.loadCatalogue(ui, catalogueDirectory);
  const auto check = [&](const RsaPublicKey& key, std::string whose) {
    const SignatureVerdict verdict = streamed != nullptr ? streamed->verdict(key) : checkSignedFile(file.path, key);
    file.signatureKey = std::move(whose);
    switch (verdict) {
      case SignatureVerdict::Valid: file.signature = SignatureCheck::Valid; break;
      case SignatureVerdict::Invalid: file.signature = SignatureCheck::Invalid; break;
      case SignatureVerdict::NoSignatureRecord: file.signature = SignatureCheck::NoSignatureRecord; break;
      case SignatureVerdict::CannotOpen: file.signature = SignatureCheck::CannotOpen; break;
    }
  };
  if (maker != nullptr) {
    const std::string& chosenModel = maker->model.empty() ? model : maker->model;
    const std::optional<RsaPublicKey> key = catalogue.rsaKeyOfSelection(ui, maker->manufacturer, chosenModel);
    if (!key) return;
    std::string whose = maker->manufacturer;
    for (const ManufacturerEntry& entry : catalogue.entries())
      if (entry.name == maker->manufacturer && entry.hasSeveralKeys) whose += " / " + cp1252ToUtf8(chosenModel);
    check(*key, std::move(whose));
    return;
  }
  for (const ManufacturerEntry& entry : catalogue.entries()) {
    if (!sameLetters(entry.name, cp1252ToUtf8(brand))) continue;
    const ModelKey* key = nullptr;
    std::string whose = entry.name;
    if (!entry.hasSeveralKeys) {
      if (usable(entry.fileKey)) key = &entry.fileKey;
    } else {
      for (const ModelEntry& m : entry.models)
        if (sameLetters(m.name, model) && usable(m.key)) {
          key = &m.key;
          whose += " / " + cp1252ToUtf8(m.name);
          break;
        }
    }
    if (key == nullptr) continue;
    check(key->rsaKey(), std::move(whose));
    return;
  }
}

ReportedFile reportedFileOf(const std::string& path, const ValidationSummary* summary, std::vector<Finding> findings,
                            std::string problem, bool formatOnly, const std::string& catalogueDirectory,
                            std::size_t findingsPerGroup, std::optional<std::vector<Indicator>> indicators,
                            const SignatureMaker* maker, FileFacts* facts) {
  ReportedFile file;
  file.indicatorsComputed = indicators.has_value() && summary != nullptr && summary->ran;
  if (file.indicatorsComputed) file.indicators = std::move(*indicators);
  file.path = path;
  file.validated = summary != nullptr && summary->ran;
  file.formatOnly = formatOnly;
  file.problem = std::move(problem);
  if (summary != nullptr) {
    file.header = summary->header;
    file.errors = summary->errors;
    file.warnings = summary->warnings;
    file.reconciliation = summary->reconciliation;
  }
  file.findings = std::move(findings);
  // The tap saw the whole file only when the run read it to its end.
  if (facts != nullptr && summary != nullptr && summary->endsInEad) {
    file.size = facts->size();
    file.sha256 = facts->sha256();
    file.records = facts->linesOf(path, citedLines(file, findingsPerGroup));
    if (file.validated) checkSignature(file, catalogueDirectory, maker, &facts->signature());
    return file;
  }
  readFileFacts(file, findingsPerGroup);
  if (file.validated) checkSignature(file, catalogueDirectory, maker);
  return file;
}

ReportedFile validateForReport(const std::string& path, std::int64_t toleranceCents, bool continuing,
                               const std::string& catalogueDirectory, std::size_t findingsPerGroup) {
  Cp1252Notifier notifier;
  FindingCollector collector;
  FileFacts facts;
  ValidationOptions options;
  options.continueAfterMissingRecords = continuing;
  MissingCooRanges ranges(collector);  // consecutive missing COO numbers as one finding each
  options.sinks.push_back(&ranges);
  options.readTap = [&facts](std::string_view raw) { facts.add(raw); };
  IndicatorRun run = validateWithIndicators(notifier, path, toleranceCents, IndicatorSettings{}, options);
  ranges.flush();
  std::string problem = cp1252ToUtf8(notifier.messages);
  if (!run.summary.ran && problem.empty()) problem = "a validação não terminou";
  return reportedFileOf(path, &run.summary, std::move(collector.findings), std::move(problem), false, catalogueDirectory,
                        findingsPerGroup, std::move(run.indicators), nullptr, &facts);
}

}  // namespace tavex::report
