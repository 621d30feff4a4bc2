#include "validation/record_check.h"

#include <algorithm>
#include <string>
#include <vector>

#include "cotepe/text.h"
#include "validation/field_checks.h"
#include "validation/messages.h"

namespace tavex {

namespace {

bool allBlanks(std::string_view text) { return text.find_first_not_of(' ') == std::string_view::npos; }

// The typed fields of a layout arranged for the usual line, where all of them pass:
// the positions of its number fields as a mask, tested sixteen characters at a
// time, and its date and time fields, examined one by one.
struct FormatPlan {
  std::vector<unsigned char> digitMask;  // 0xFF where a number field lies; a multiple of 16 long
  std::vector<const FieldLayout*> datesAndTimes;
};

FormatPlan planOf(const RecordLayout& layout) {
  FormatPlan plan;
  plan.digitMask.assign((static_cast<std::size_t>(layout.length) + 15) / 16 * 16, 0);
  for (const FieldLayout& field : layout.fields) {
    if (field.check == FieldCheck::Number) {
      for (int i = 0; i < field.width; ++i) plan.digitMask[static_cast<std::size_t>(field.start - 1 + i)] = 0xFF;
    } else if (field.check != FieldCheck::None) {
      plan.datesAndTimes.push_back(&field);
    }
  }
  return plan;
}

// The plan of one of the program's layouts; nullptr for any other.
const FormatPlan* formatPlanOf(const RecordLayout& layout) {
  static const std::vector<FormatPlan> plans = [] {
    std::vector<FormatPlan> all;
    for (const RecordLayout& each : allLayouts()) all.push_back(planOf(each));
    return all;
  }();
  const std::span<const RecordLayout> layouts = allLayouts();
  if (&layout < layouts.data() || &layout >= layouts.data() + layouts.size()) return nullptr;
  return &plans[static_cast<std::size_t>(&layout - layouts.data())];
}

// True when every typed field of `line`, a line of the layout's full length, passes
// its format check.
bool everyFieldPasses(const FormatPlan& plan, std::string_view line) {
  using Bytes = unsigned char __attribute__((vector_size(16)));
  if (line.size() < 16) return false;  // no such layout; the field-by-field path decides
  Bytes failed{};
  const std::size_t whole = line.size() / 16 * 16;
  for (std::size_t i = 0; i < whole; i += 16) {
    Bytes text, mask;
    __builtin_memcpy(&text, line.data() + i, 16);
    __builtin_memcpy(&mask, plan.digitMask.data() + i, 16);
    failed |= static_cast<Bytes>((text - '0') > 9) & mask;
  }
  if (whole < line.size()) {  // the last sixteen, overlapping what was tested
    const std::size_t i = line.size() - 16;
    Bytes text, mask;
    __builtin_memcpy(&text, line.data() + i, 16);
    __builtin_memcpy(&mask, plan.digitMask.data() + i, 16);
    failed |= static_cast<Bytes>((text - '0') > 9) & mask;
  }
  std::uint64_t halves[2];
  __builtin_memcpy(halves, &failed, 16);
  if ((halves[0] | halves[1]) != 0) return false;
  for (const FieldLayout* field : plan.datesAndTimes)
    if (!passesFieldFormat(line.substr(static_cast<std::size_t>(field->start - 1), static_cast<std::size_t>(field->width)),
                           field->check))
      return false;
  return true;
}

}  // namespace

bool RecordFields::isBlankOrZero(int number) const {
  return tavex::isBlankOrZero(byNumber(number), static_cast<std::size_t>(layout_->field(number).width));
}

bool passesFieldFormat(std::string_view value, FieldCheck kind) {
  switch (kind) {
    case FieldCheck::Number:
      return isAllDigits(value);
    case FieldCheck::Date:
      if (leadingInt(value) != 0) return isAllDigits(value) && isValidDate(value, 1900);
      return allBlanks(value);
    case FieldCheck::Time:
      if (leadingInt(value) != 0) return isAllDigits(value);
      return allBlanks(value);
    case FieldCheck::None:
      return true;
  }
  return true;
}

void checkFieldFormat(ValidationRun& run, RecordFields& fields, int fieldNumber, FieldCheck kind,
                      const RecordLine& rec) {
  if (passesFieldFormat(fields.byNumber(fieldNumber), kind)) return;
  const Message<int, int, int>& format = kind == FieldCheck::Number ? msg::kFormatNumber
                              : kind == FieldCheck::Date ? msg::kFormatDate
                                                         : msg::kFormatTime;
  run.reportError(format, at(rec, fieldNumber), rec.number, fieldNumber, rec.type);
  if (!run.formatFailed) run.formatFailedLine = rec.number;
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
    if (run.observer != nullptr && rec.mode == CheckMode::Full) run.observer->onRecord(rec, false, run);
    return false;
  }
  const FormatPlan* plan = formatPlanOf(layout);
  bool passed = plan != nullptr && everyFieldPasses(*plan, rec.text);
  if (!passed) {
    for (const FieldLayout& field : layout.fields)
      if (field.check != FieldCheck::None) checkFieldFormat(run, fields, field.number, field.check, rec);
    passed = fields.formatsPassed();
  }
  if (run.observer != nullptr && rec.mode == CheckMode::Full) run.observer->onRecord(rec, passed, run);
  return true;
}

void checkEcfIdentity(ValidationRun& run, const RecordLine& rec, const RecordFields& fields) {
  const std::string_view serial = fields[Common::NumeroFabricacao], model = fields[Common::Modelo];
  if (serial != run.ecfSerial) run.reportWarning(msg::kIdentitySerial, at(rec), rec.number, rec.type, rec.type);
  if (model != run.ecfModel) run.reportWarning(msg::kIdentityModel, at(rec), rec.number, rec.type, rec.type);
}

}  // namespace tavex
