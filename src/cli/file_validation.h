// One file's validation as tavex-cli runs it in a batch or for --json: the run's
// outcome in a few values (a line of the summary table), what the notifier said
// when it could not run, and the file's JSON document.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cotepe/file_discovery.h"
#include "cotepe/notifier.h"
#include "efd/ecf_evidence.h"
#include "indicators/ecf_files.h"
#include "indicators/indicator.h"
#include "report/audit_report.h"
#include "validation/validate.h"

namespace tavex::cli {

struct ValidationSettings {
  std::int64_t toleranceCents = 0;
  bool formatOnly = false;
  bool continuing = false;  // --continuar
  std::string today;        // AAAAMMDD; empty: the local date
  // Called once the run has created its log (not for a log refused, e.g. in use by
  // another run).
  std::function<void()> logCreated;
  IndicatorSettings indicators;  // the indicators of a full run (--json, FileRun)
  // For the report: FileRun keeps only this many findings of each group (0: all).
  std::size_t reportFindingsPerGroup = 0;
  // False: FileRun keeps no finding at all (a caller that only counts them).
  bool keepFindings = true;
  // Sees the bytes of the run's read of the file (ValidationOptions::readTap).
  std::function<void(std::string_view)> readTap;
  // Sees every finding of the run as the log does, besides the run's own sinks.
  FindingSink* sink = nullptr;
  // FileRun::evidence gathers what the comparison with an EFD needs (a full run).
  bool efdEvidence = false;
};

enum class FileState { Validated, NotValidated, Interrupted };

// A summary line: what the table and --resumo show of one file. Texts UTF-8.
struct FileOutcome {
  std::string path;
  FileState state = FileState::Interrupted;
  std::string kind;    // MF, MFD, TDM, RZ; empty when unknown
  std::string serial;  // E01's serial number, trimmed; empty when unknown
  std::string period;  // "DD/MM/AAAA a DD/MM/AAAA"; empty when unknown
  int errors = 0;
  int warnings = 0;
  bool eadPresent = false;
  double seconds = 0;
  std::string problem;  // why it was not validated
};

// Keeps every message an operation shows (cp1252), one after the other on one
// line (a message's own line breaks, such as the line of its cause, become spaces).
class CollectingNotifier : public Notifier {
 public:
  void showMessage(std::string_view text, std::string_view title, Icon icon) override;
  std::string messages;
};

// What a run leaves besides its summary line, for a caller that shows all of it.
struct FileRun {
  ValidationSummary summary;
  // In the log's order: all of them, or with `reportFindingsPerGroup` only the
  // first of each of the report's groups (`tally` counts them all).
  std::vector<Finding> findings;
  report::FindingTally tally;
  std::vector<Indicator> indicators;  // of a full run that read the whole file
  FileFootprint footprint;            // what grouping by ECF needs, of a full run
  // What the comparison with an EFD needs, with ValidationSettings::efdEvidence;
  // `read` false (only the serial known) when the run stopped before the records.
  FileEvidence evidence;
};

// A file's JSON document (as fileDocument writes it), made while its validation
// runs: each finding is written out as it comes, into a temporary file once more
// than a megabyte of them waits, and the members before and after the findings
// once the run is over; so its memory stays bounded whatever the findings. The
// temporary file lives, nameless, in the folder $TMPDIR names (/tmp without it).
class JsonDocument : public FindingSink {
 public:
  void onFinding(const Finding& finding) override;
  // The members before the findings (through "achados":[) and after them.
  void complete(std::string head, std::string tail);
  // Writes the whole document to `out`. False when a write failed, here or into the
  // temporary file; failure() then says which and why.
  bool writeTo(std::FILE* out) const;
  // What went wrong, in a line for the user (UTF-8): the temporary folder and the
  // cause, or the cause of a failed write to `out`; empty when nothing failed.
  std::string failure() const;
  // The whole document as one text (for small documents and tests).
  std::string text() const;

 private:
  static constexpr std::size_t kKeptBytes = 1u << 20;
  struct SpillClose {
    void operator()(std::FILE* f) const;
  };
  std::string head_, tail_;
  std::string findings_;  // findings not yet written to the temporary file
  std::unique_ptr<std::FILE, SpillClose> spill_;
  bool first_ = true;
  bool failed_ = false;
  std::string spillFolder_;  // where the temporary file was, or was to be, made
  int spillError_ = 0;       // errno of the temporary file's failure
  mutable int outError_ = 0;  // errno of a failed write to `out`
};

// Validates `path` (writing its log) and answers its summary line; when `document`
// is given, fills it with the file's JSON document, when `run` is given, with the
// run's summary, findings, indicators and footprint (collected while the run went);
// `footprint` receives the footprint alone.
FileOutcome validateForBatch(const std::string& path, const ValidationSettings& settings, JsonDocument* document,
                             FileRun* run = nullptr, FileFootprint* footprint = nullptr);

// The outcome of a path the batch could not even start on (missing, unreadable, not
// a COTEPE file), with `problem` (UTF-8) as its reason.
FileOutcome notValidated(const std::string& path, std::string problem);
// The same for a path file discovery could not take, with its reason.
FileOutcome notValidated(const DiscoveryProblem& problem);

// The JSON document of a file as compact UTF-8 text: "arquivo" (a name that is not
// UTF-8 with its stray bytes as "\xHH", followed by "arquivo_bytes", its bytes in
// hexadecimal), "situacao",
// "problema", "validacao", "tipo", "cabecalho", "contagens", "ead_presente",
// "achados", "conciliacao", "indicios" (see README; null without `indicators`).
// Written piece by piece, never as one tree.
std::string fileDocument(const FileOutcome& outcome, const ValidationSettings& settings,
                         const ValidationSummary* summary, const std::vector<Finding>& findings,
                         const std::vector<Indicator>* indicators = nullptr);

// Sets the members naming a file in a JSON document: "arquivo", the name, and for
// a name that is not UTF-8, "arquivo" with its stray bytes as "\xHH" followed by
// "arquivo_bytes", its bytes in hexadecimal, to find the file again.
void setFileName(nlohmann::ordered_json& doc, const std::string& path);

// The indicators as a JSON array (UTF-8): "codigo", "nivel", "mensagem", "linha",
// "registro", "crz", "coo", "esperado", "encontrado".
std::string indicatorsJson(const std::vector<Indicator>& indicators);

// The reconciliation table as JSON ("tolerancia", "reducoes" with their "totais").
nlohmann::ordered_json reconciliationJson(const Reconciliation& reconciliation);

// True when the last non-empty line of the file begins with "EAD".
bool hasEadRecord(const std::string& path);

// "1234,56" / "-0,05" for an amount in centavos.
std::string formatCents(std::int64_t cents);

}  // namespace tavex::cli
