#include "port/period_dialog.h"

namespace tavex {

std::string& PeriodAnswer::text(PeriodField field) {
  switch (field) {
    case PeriodField::DateStart: return dateStart;
    case PeriodField::DateEnd: return dateEnd;
    case PeriodField::CrzStart: return crzStart;
    case PeriodField::CrzEnd: return crzEnd;
    case PeriodField::CooStart: return cooStart;
    case PeriodField::CooEnd: return cooEnd;
    case PeriodField::ReferenceDate: break;
  }
  return referenceDate;
}

const std::string& PeriodAnswer::text(PeriodField field) const { return const_cast<PeriodAnswer*>(this)->text(field); }

}  // namespace tavex
