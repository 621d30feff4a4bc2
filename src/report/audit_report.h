// The audit report: one self-contained HTML page (UTF-8, styles, script and
// pictures inline, nothing fetched) showing one or more validated files: the
// file's identity, the verdict by family of finding, the EAD signature, the audit
// indicators (alerts first, with the record's text), the reconciliation of its Z reductions as a table and a chart, and its findings
// grouped by family and record type with the record's text. Every text that
// comes from a file is converted from cp1252 and escaped; control bytes are
// shown as their hexadecimal value. The page prints on A4 (print stylesheet).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "efd/efd_comparison.h"
#include "indicators/indicator.h"
#include "validation/finding.h"
#include "validation/memory_pair.h"
#include "validation/reconciliation.h"
#include "validation/validate.h"

namespace tavex::report {

enum class SignatureCheck { NotChecked, Valid, Invalid, NoSignatureRecord, CannotOpen };

// What the report counts of a file's findings: all of them, by group (family and
// record type) and by family and severity. It lists only the first of each group,
// so a file with a flood of findings need not keep them all.
struct FindingTally {
  std::size_t total = 0;
  std::map<std::pair<int, int>, std::size_t> perGroup;  // (family, record type) -> findings
  std::array<int, 4> errors{};                          // by FindingFamily
  std::array<int, 4> warnings{};
  void add(const Finding& finding);
};

// The key of a finding's group: (family, record type).
std::pair<int, int> findingGroupOf(const Finding& finding);

// Keeps the first `perGroup` findings of each group, in the log's order, and counts
// them all: what the report needs of a run, in bounded memory.
class ReportFindings : public FindingSink {
 public:
  explicit ReportFindings(std::size_t perGroup) : perGroup_(perGroup) {}
  void onFinding(const Finding& finding) override;
  std::vector<Finding> kept;
  FindingTally tally;

 private:
  std::size_t perGroup_;
};

// One file as the report shows it.
struct ReportedFile {
  std::string path;        // as the user named it (file-system text, UTF-8)
  bool validated = false;  // the whole file was read and its log written
  bool formatOnly = false;
  std::string problem;     // UTF-8: why it was not validated (empty when it was)
  std::optional<std::uintmax_t> size;  // bytes; nothing when the file could not be read
  std::string sha256;                  // lower-case hexadecimal; empty when unreadable
  std::optional<LogHeader> header;     // E01/E02 as the log shows them
  int errors = 0;
  int warnings = 0;
  std::vector<Finding> findings;       // in the log's order; at least the first of each group
  // The counts of all the findings; when empty (no finding counted), `findings` holds
  // them all and is counted instead.
  FindingTally tally;
  std::optional<Reconciliation> reconciliation;
  SignatureCheck signature = SignatureCheck::NotChecked;
  std::string signatureKey;            // UTF-8: whose key checked it ("ACME", "ACME / M1")
  std::map<int, std::string> records;  // cp1252 text of the lines the listed findings and indicators cite
  // The audit indicators of the full run, alerts first; not computed for a
  // format-only run or a file not validated.
  bool indicatorsComputed = false;
  std::vector<Indicator> indicators;
};

// The files of one ECF, for a report of several files: the summary is grouped by
// them. Texts UTF-8.
struct EcfSummary {
  std::string caption;              // "ECF BE09… (MF adicional …, modelo …)" or "ECF desconhecida"
  std::string coverage;             // the reductions the files hold and those missing
  std::vector<std::size_t> files;   // indices into the report's files, in CRZ and period order
  std::vector<std::size_t> excluded;  // its files left out (their structure failed, records of another ECF)
  std::vector<std::string> excludedWhy;  // beside `excluded`: why (empty: the structure failed)
  std::vector<std::size_t> withoutEad;  // of `files`, those read without an EAD
  std::vector<std::string> disagreeing;  // files that tell a reduction another way than another file
  std::vector<Indicator> indicators;     // between its files, alerts first
  // Its MF × MFD pairs (indices into the report's files), each shown as a
  // reconciliation table whose rows cite file and line, or with why it was refused.
  std::vector<BatchPair> pairs;
};

struct ReportOptions {
  std::string generatedAt;  // UTF-8, "DD/MM/AAAA HH:MM" (the caller's clock)
  std::string version;      // the program's version
  // Findings listed per group (family and record type); the rest is counted in a
  // closing "e mais N achados deste tipo" line.
  std::size_t findingsPerGroup = 100;
  // Several files: their ECFs, shown after the summary table (none: no such section).
  std::vector<EcfSummary> ecfs;
  // The ECFs against EFD files given with them (section "ECF × EFD"; none: no such
  // section). The EFD files they point to outlive the page's writing. A divergence's
  // ECF record is shown when its file is one of the report's and its line one of
  // that file's `records`.
  std::vector<EfdComparison> efd;
};

// The lines (1-based) whose text the report shows for `findings`: those of the
// findings it lists under `findingsPerGroup`.
std::vector<int> listedLines(const std::vector<Finding>& findings, std::size_t findingsPerGroup);

// The same for `indicators`: those of the first `findingsPerGroup` it lists.
std::vector<int> listedLines(const std::vector<Indicator>& indicators, std::size_t findingsPerGroup);

// The whole page for `files` (one section each; more than one adds a summary table).
std::string auditReportHtml(const std::vector<ReportedFile>& files, const ReportOptions& options);

// Writes the page to `path` whole (created or replaced through a temporary file
// beside it, written in pieces as the page is built so that its size costs no
// memory; never through a symbolic link): a failure leaves `path` as it was.
// Empty on success, else why not (UTF-8). A written page that split a hard link
// puts the notice (UTF-8) in `notice`, when given.
std::string writeAuditReport(const std::string& path, const std::vector<ReportedFile>& files,
                             const ReportOptions& options, std::string* notice = nullptr);

// "DD/MM/AAAA HH:MM" of the local clock now.
std::string localDateTime();

}  // namespace tavex::report
