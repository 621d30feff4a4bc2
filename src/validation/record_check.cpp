#include "validation/record_check.h"

#include <algorithm>
#include <string>

#include "cotepe/text.h"
#include "validation/field_checks.h"
#include "validation/messages.h"

namespace tavex {

namespace {

bool allDigits(std::string_view text) { return isAllDigits(text); }

bool allBlanks(std::string_view text) { return text.find_first_not_of(' ') == std::string_view::npos; }

}  // namespace

RecordFields::RecordFields(const RecordLayout& layout, std::string_view line) : layout_(&layout) {
  const std::size_t count = std::min(layout.fields.size(), values_.size());
  if (line.size() >= static_cast<std::size_t>(layout.length)) {
    // Fields end at the record's length at the latest: none needs cutting.
    for (std::size_t i = 0; i < count; ++i)
      values_[i] = std::string_view(line.data() + layout.fields[i].start - 1,
                                    static_cast<std::size_t>(layout.fields[i].width));
    return;
  }
  for (std::size_t i = 0; i < count; ++i)
    values_[i] = sliceField(line, layout.fields[i].start, layout.fields[i].width);
}

bool RecordFields::isBlankOrZero(int number) const {
  return tavex::isBlankOrZero(byNumber(number), static_cast<std::size_t>(layout_->field(number).width));
}

bool passesFieldFormat(std::string_view value, FieldCheck kind) {
  switch (kind) {
    case FieldCheck::Number:
      return allDigits(value);
    case FieldCheck::Date:
      if (leadingInt(value) != 0) return allDigits(value) && isValidDate(value, 1900);
      return allBlanks(value);
    case FieldCheck::Time:
      if (leadingInt(value) != 0) return allDigits(value);
      return allBlanks(value);
    case FieldCheck::None:
      return true;
  }
  return true;
}

void checkFieldFormat(ValidationRun& run, RecordFields& fields, int fieldNumber, FieldCheck kind,
                      const RecordLine& rec) {
  if (passesFieldFormat(fields.byNumber(fieldNumber), kind)) return;
  const char* const& format = kind == FieldCheck::Number ? msg::kFormatNumber
                              : kind == FieldCheck::Date ? msg::kFormatDate
                                                         : msg::kFormatTime;
  run.reportError(format, at(rec, fieldNumber), rec.number, fieldNumber, rec.type);
  run.formatFailed = true;
  fields.replaceWithZero(fieldNumber);
}

bool checkLengthAndFormat(ValidationRun& run, const RecordLine& rec, RecordFields& fields) {
  const RecordLayout& layout = fields.layout();
  const auto length = static_cast<int>(rec.text.size());
  if (length != layout.length) {
    if (layout.type == kEadType)
      run.reportError(msg::kEadLength, at(rec), rec.number, layout.length, length);
    else
      run.reportError(msg::kRecordLength, at(rec), rec.number, rec.type, layout.length, length);
    return false;
  }
  for (const FieldLayout& field : layout.fields)
    if (field.check != FieldCheck::None) checkFieldFormat(run, fields, field.number, field.check, rec);
  return true;
}

void checkEcfIdentity(ValidationRun& run, const RecordLine& rec, const RecordFields& fields) {
  const std::string_view serial = fields[Common::NumeroFabricacao], model = fields[Common::Modelo];
  if (serial != run.ecfSerial) run.reportWarning(msg::kIdentitySerial, at(rec), rec.number, rec.type, rec.type);
  if (model != run.ecfModel) run.reportWarning(msg::kIdentityModel, at(rec), rec.number, rec.type, rec.type);
}

}  // namespace tavex
