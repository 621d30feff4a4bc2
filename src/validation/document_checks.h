// Pieces the document records (E14 to E21) share: the serial and MF-addition
// checks with each record's own texts, the totalizer classes of an item, the user
// filter and the reduction a document belongs to.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "validation/record_check.h"

namespace tavex {

// The serial check (blank/zero serial: the record's warning; otherwise the ECF
// identity) and then the MF addition check.
void checkDocumentIdentity(ValidationRun& run, const RecordLine& rec, const RecordFields& f);

// An ISS code has "S" as its 2nd or 3rd character.
bool isIssTotalizer(std::string_view code);
// An ICMS code is not ISS and has "T" as its 3rd character or "F", "I", "N" first.
bool isIcmsTotalizer(std::string_view code);

// A record of user `recordUser` counts while no user is known or when it is the user.
inline bool countsForUser(const ValidationRun& run, std::int64_t recordUser) {
  return run.userNumber == 0 || run.userNumber == recordUser;
}

// True when `value` is one of `allowed`.
inline bool isOneOf(std::string_view value, std::initializer_list<std::string_view> allowed) {
  // Inline, one-character codes compared as characters: this runs for most records.
  for (std::string_view a : allowed)
    if (value.size() == a.size() && (a.size() == 1 ? value[0] == a[0] : value == a)) return true;
  return false;
}

// Keeps the header of a coupon (E14) or non-fiscal document (E19): its COO goes
// into the COO list and the document table, whose entry receives the header's line
// and amounts (percentages still unconverted). Id is E14 or E19.
template <class Id>
DocumentEntry& storeDocumentHeader(ValidationRun& run, const RecordLine& rec, const FieldsOf<Id>& f);

// The slot of the reduction a record (E12, E13, E17, E18) names by its CRZ; a CRZ
// beyond the table is reported ("Número de CRZ inválido") and gives nullptr.
CrzSlot* declaredReduction(ValidationRun& run, const RecordLine& rec, std::int64_t crz);

// The first reduction slot from 1 to 5001 whose COO is not below `coo`, passing
// over empty slots; 5001 when there is none.
std::size_t reductionSlotOf(ValidationRun& run, std::int64_t coo);

}  // namespace tavex
