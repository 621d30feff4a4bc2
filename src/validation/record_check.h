// The frame every record check shares: the line with its number, type and mode;
// its fields sliced by the record layout; the length check, the field-format checks
// of the typed fields, and the ECF identity check against E01.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "cotepe/record_layout.h"
#include "validation/validation_run.h"

namespace tavex {

struct RecordLine {
  std::string_view text;  // without its line end
  int number;             // 1-based line number
  int type;               // 1..21 or kEadType
  CheckMode mode;
};

// The place of a finding in this record (and field).
inline FindingPlace at(const RecordLine& rec, int field = 0) { return at(rec.number, rec.type, field); }

// The fields of one line, sliced by its layout. A field that failed its format check
// reads "0" from then on.
class RecordFields {
 public:
  RecordFields(const RecordLayout& layout, std::string_view line);
  std::string_view operator[](int number) const { return values_[static_cast<std::size_t>(number - 1)]; }
  std::int64_t asInt(int number) const { return leadingInt((*this)[number]); }
  void replaceWithZero(int number) { values_[static_cast<std::size_t>(number - 1)] = "0"; }
  const RecordLayout& layout() const { return *layout_; }

 private:
  const RecordLayout* layout_;
  std::array<std::string_view, 24> values_{};
};

// Steps 1 and 2 of a record check. A length other than the layout's reports
// "Tamanho de registro inválido" and answers false (the record is not examined
// further). Otherwise every typed field goes through checkFieldFormat, in field
// order, and the answer is true.
bool checkLengthAndFormat(ValidationRun& run, const RecordLine& rec, RecordFields& fields);

// Step 3: content checks run only in a full run before any format failure.
inline bool contentChecksDue(const ValidationRun& run, const RecordLine& rec) {
  return rec.mode == CheckMode::Full && !run.formatFailed;
}

// The format check of one field ("number", "date" or "time"). On failure: an error,
// `formatFailed` set, and the field reads "0".
void checkFieldFormat(ValidationRun& run, RecordFields& fields, int fieldNumber, FieldCheck kind,
                      const RecordLine& rec);

// True when `value` passes the format check of `kind`.
bool passesFieldFormat(std::string_view value, FieldCheck kind);

// Warnings when the serial number or the model differs from E01's (as sliced).
void checkEcfIdentity(ValidationRun& run, const RecordLine& rec, std::string_view serial,
                      std::string_view model);

// One record check per record type.
using RecordCheck = void (*)(ValidationRun&, const RecordLine&);
RecordCheck recordCheckFor(int type);

// One line of the line pass, its line end already removed: an empty line is
// skipped; in a full run the coupon (before E16) or non-fiscal document (before
// E21) being read is closed first; then the line goes to its record check, or an
// unknown type is reported.
void checkRecordLine(ValidationRun& run, std::string_view line, int lineNumber, CheckMode mode);

}  // namespace tavex
