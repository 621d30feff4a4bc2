#include "validation/record_check.h"
#include "validation/record_checks.h"

namespace tavex {

RecordCheck recordCheckFor(int type) {
  static constexpr RecordCheck kChecks[] = {
      checkRecordE01, checkRecordE02, checkRecordE03, checkRecordE04, checkRecordE05, checkRecordE06,
      checkRecordE07, checkRecordE08, checkRecordE09, checkRecordE10, checkRecordE11, checkRecordE12,
      checkRecordE13, checkRecordE14, checkRecordE15, checkRecordE16, checkRecordE17, checkRecordE18,
      checkRecordE19, checkRecordE20, checkRecordE21};
  if (type >= 1 && type <= 21) return kChecks[type - 1];
  if (type == kEadType) return checkRecordEad;
  return nullptr;
}

bool isRestBlank(std::string_view line, int position) {
  if (position < 1) return false;
  const auto from = static_cast<std::size_t>(position - 1);
  if (from >= line.size()) return true;
  return line.find_first_not_of(" 0", from) == std::string_view::npos;
}

}  // namespace tavex
