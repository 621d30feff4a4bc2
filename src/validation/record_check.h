// The frame every record check shares: the line with its number, type and mode;
// its fields sliced by the record layout; the length check, the field-format checks
// of the typed fields, and the ECF identity check against E01.
#pragma once

#include <cstdint>
#include <string_view>

#include "cotepe/record_layout.h"
#include "cotepe/text.h"
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

// The fields of one line, sliced by its layout when they are read. A field that
// failed its format check reads "0" from then on. Record checks read fields by name
// through FieldsOf. The line must outlive the object.
class RecordFields {
 public:
  RecordFields(const RecordLayout& layout, std::string_view line)
      : layout_(&layout), line_(line), whole_(line.size() >= static_cast<std::size_t>(layout.length)) {}
  // A field every record from E02 to E21 opens with. REQUIRES: not an E01 line.
  std::string_view operator[](Common id) const { return byNumber(static_cast<int>(id)); }
  // Field `number` (1-based), for what walks the whole layout, cut to what the line
  // holds. REQUIRES: 1 <= number <= the layout's field count.
  std::string_view byNumber(int number) const {
    if (zeroed_ != 0 && (zeroed_ >> (number - 1) & 1) != 0) return "0";
    const FieldLayout& field = layout_->fields[static_cast<std::size_t>(number - 1)];
    // A line of the record's full length holds every field: no cutting to do.
    if (whole_) return std::string_view(line_.data() + field.start - 1, static_cast<std::size_t>(field.width));
    return sliceField(line_, field.start, field.width);
  }
  // Field `number` read by the leading-digits rule.
  std::int64_t intOf(int number) const {
    // A short field of digits inside a whole line: its line's eight characters that
    // end with it, those before it taken for leading zeros, read as one word.
    const FieldLayout& field = layout_->fields[static_cast<std::size_t>(number - 1)];
    const int end = field.start - 1 + field.width;
    if (whole_ && zeroed_ == 0 && field.width <= 8 && end >= 8) {
      std::uint64_t word;
      __builtin_memcpy(&word, line_.data() + end - 8, 8);
      const std::uint64_t mine = ~std::uint64_t{0} << (8 * (8 - field.width));  // the field's bytes: the highest
      word = (word & mine) | (0x3030303030303030u & ~mine);
      if (detail::allDigitsWord(word)) return static_cast<std::int64_t>(detail::digitWordValue(word - 0x3030303030303030u));
    }
    return leadingInt(byNumber(number));
  }
  // isBlankOrZero over the whole width of field `number`.
  bool isBlankOrZero(int number) const;
  void replaceWithZero(int number) { zeroed_ |= std::uint64_t{1} << (number - 1); }
  // True while no field has failed its format check.
  bool formatsPassed() const { return zeroed_ == 0; }
  const RecordLayout& layout() const { return *layout_; }

 private:
  const RecordLayout* layout_;
  std::string_view line_;
  bool whole_;
  std::uint64_t zeroed_ = 0;  // bit n-1: field n failed its format check
};

// The fields of a line of the record that Id names, read by that record's names:
// `f[E15::Quantidade]`. A name of another record does not compile.
template <class Id>
class FieldsOf : public RecordFields {
 public:
  explicit FieldsOf(std::string_view line) : RecordFields(*layoutOf(RecordOf<Id>::type), line) {}
  std::string_view operator[](FieldNumber<Id> id) const { return byNumber(id.value); }
  // The field read by the leading-digits rule.
  std::int64_t asInt(FieldNumber<Id> id) const { return intOf(id.value); }
  // True when the field is blanks or zeros over its whole width.
  bool isBlankOrZero(FieldNumber<Id> id) const { return RecordFields::isBlankOrZero(id.value); }
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

// Warnings when the serial number or the model (Common fields, so not of E01)
// differs from E01's (as sliced).
void checkEcfIdentity(ValidationRun& run, const RecordLine& rec, const RecordFields& fields);

// One record check per record type.
using RecordCheck = void (*)(ValidationRun&, const RecordLine&);
RecordCheck recordCheckFor(int type);

// One line of the line pass, its line end already removed: an empty line is
// skipped; in a full run the coupon (before E16) or non-fiscal document (before
// E21) being read is closed first; then the line goes to its record check, or an
// unknown type is reported.
void checkRecordLine(ValidationRun& run, std::string_view line, int lineNumber, CheckMode mode);

}  // namespace tavex
