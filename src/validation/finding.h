// A finding of a validation as data: what the log shows as one "[ERR] " or
// "[AVISO] " line, with where it was found and, for the totals, the amounts that
// disagreed. Checks report findings to the run; the run hands each one to every
// FindingSink attached to it (the log file is one sink, a collector another).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavex {

enum class Severity { Error, Warning };

// Where a finding belongs. Zero means "not known" for every number.
struct FindingPlace {
  int line = 0;        // 1-based line of the record (or of the declaring record)
  int recordType = 0;  // 1..21, 99 for EAD
  int field = 0;       // field number, when a field check made the finding
  int crz = 0;         // the Z reduction of a totals finding
  int coo = 0;         // the document of a document or totals finding
  int lastCoo = 0;     // a finding for a range of COO numbers: the last one (`coo` the first)
  std::optional<std::int64_t> declared;  // centavos: the total the file declares
  std::optional<std::int64_t> computed;  // centavos: the sum of its documents
};

struct Finding {
  Severity severity = Severity::Error;
  FindingPlace place;
  std::string_view code;  // stable name of the check ("E14.cpf_cnpj_cliente"); static storage
  std::string message;    // cp1252, exactly as logged, without the prefix and the final line end
};

// Receives every finding of a run, in the order the log shows them.
class FindingSink {
 public:
  virtual ~FindingSink() = default;
  virtual void onFinding(const Finding& finding) = 0;
};

// Keeps every finding it receives.
class FindingCollector : public FindingSink {
 public:
  void onFinding(const Finding& finding) override { findings.push_back(finding); }
  std::vector<Finding> findings;
};

// The stable code of a message of the validation (a msg:: constant, given by
// reference so that its identity, not its text, decides). "desconhecido" for a
// text that is not in the table.
std::string_view findingCodeOf(const char* const& message);

// Every code with a line saying what it checks, in the table's order (for the
// documentation and its test).
struct FindingCodeInfo {
  std::string_view code;
  std::string_view what;
};
std::vector<FindingCodeInfo> findingCodes();

// The four families reports sort findings into: the file's shape (records present,
// in order, of a known type), the sizes and formats of records and fields, what the
// fields say, and the sums that must add up.
enum class FindingFamily { Structure, Format, Content, Totals };

// The family of a code ("desconhecido" and codes of no family: Content).
FindingFamily findingFamilyOf(std::string_view code);

}  // namespace tavex
