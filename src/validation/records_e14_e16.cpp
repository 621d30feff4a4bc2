// Documents of the detail-tape memory: E14 coupon header, E15 coupon item, E16
// other documents. E14 keeps every header; E15 adds up the items of the coupon
// being read and closes the previous coupon when its COO changes.
#include <string>

#include "cotepe/text.h"
#include "validation/document_checks.h"
#include "validation/field_checks.h"
#include "validation/messages.h"
#include "validation/money.h"
#include "validation/record_checks.h"
#include "validation/totals.h"

namespace tavex {

namespace {

bool allOf(std::string_view text, char c) { return text.find_first_not_of(c) == std::string_view::npos; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isValidTotalizerCode(std::string_view code) {
  for (std::string_view prefix : {"OPNF", "DT", "DS", "AT", "AS", "Can-T", "Can-S"})
    if (code.starts_with(prefix)) return true;
  const auto tailBlankOrZero = [&](std::size_t from) {
    const std::string_view tail = from < code.size() ? code.substr(from) : std::string_view{};
    return allOf(tail, ' ') || allOf(tail, '0');
  };
  if (code.starts_with("FS") || code.starts_with("IS") || code.starts_with("NS"))
    return code.size() > 2 && isDigit(code[2]) && tailBlankOrZero(3);
  if (!code.empty() && (code[0] == 'F' || code[0] == 'I' || code[0] == 'N'))
    return code.size() > 1 && isDigit(code[1]) && tailBlankOrZero(2);
  if (code.size() < 7) return false;
  return (code[2] == 'S' || code[2] == 'T') && isDigit(code[0]) && isDigit(code[1]) && isDigit(code[3]) &&
         isDigit(code[4]) && isDigit(code[5]) && isDigit(code[6]);
}

// The value of an item from unit price and quantity, truncated (IAT "T") or rounded
// half to even (anything else) to centavos.
std::int64_t computedItemValue(const RecordFields& f) {
  std::int64_t s = f[23] == "2" ? 100 : 1000;
  if (f[24] == "3") s *= 10;
  std::int64_t p = f.asInt(13) * f.asInt(11);
  if (f[22] == "T") return p / s;
  const std::int64_t r = p % s;
  const std::int64_t d = r / (s / 10);
  const std::int64_t rest = r % (s / 10);
  const bool lastKeptOdd = ((p % (10 * s)) / s) % 2 != 0;
  if (d > 5 || (d == 5 && rest != 0) || (d == 5 && rest == 0 && lastKeptOdd)) p += s;
  return p / s;
}

}  // namespace

void checkRecordE14(ValidationRun& run, const RecordLine& rec) {
  RecordFields f(*layoutOf(14), rec.text);
  if (!checkLengthAndFormat(run, rec, f)) return;
  if (isRestBlank(rec.text, 47)) return;

  const auto warning = [&](const char* const& format) { run.reportWarning(format, at(rec), rec.number, rec.type); };
  if (!isOneOf(f[11], {"V", "P"})) warning(msg::kE14DiscountType);
  if (!isOneOf(f[13], {"V", "P"})) warning(msg::kE14SurchargeType);
  if (!isOneOf(f[15], {"S", "N"})) warning(msg::kE14Cancelled);
  if (!isOneOf(f[17], {" ", "A", "D"})) warning(msg::kE14Order);
  if (!isBlankOrZero(f[19], 14) && !isValidCnpjOrCpf(f[19])) warning(msg::kE14Customer);
  if (!contentChecksDue(run, rec)) return;

  storeDocumentHeader(run, rec, f, 7);  // percentages are converted when the coupon is closed
  checkDocumentIdentity(run, rec, f);
  if (!isValidDate(f[8], 2000))
    run.reportError(msg::kE14Date, at(rec), rec.number, rec.type);
  else if (f.asInt(8) < leadingInt(run.periodStart) || compareDates(f[8], run.periodEnd, 1))
    run.reportError(msg::kE14DateOutsidePeriod, at(rec), rec.number, rec.type);
}

void checkRecordE15(ValidationRun& run, const RecordLine& rec) {
  RecordFields f(*layoutOf(15), rec.text);
  if (!checkLengthAndFormat(run, rec, f)) return;
  if (isRestBlank(rec.text, 47)) return;

  const auto warning = [&](const char* const& format) { run.reportWarning(format, at(rec), rec.number, rec.type); };
  const std::string_view code = f[17];
  if (!isValidTotalizerCode(code)) warning(msg::kE15Totalizer);
  if (!isOneOf(f[18], {"S", "N", "P"})) warning(msg::kE15Cancelled);
  if (!isOneOf(f[22], {"A", "T"})) warning(msg::kE15Iat);
  if (!contentChecksDue(run, rec)) return;

  checkDocumentIdentity(run, rec, f);
  const std::int64_t coo = f.asInt(6);
  if (!run.documentCooList.contains(coo)) run.reportError(msg::kE15Coo, at(rec), rec.number, rec.type);
  if (isBlankOrZero(f[9], 14)) warning(msg::kE15NoProductCode);
  if (isBlankOrZero(f[10], 100)) warning(msg::kE15NoDescription);
  const bool partial = f[18] == "P";
  if (partial && isBlankOrZero(f[19], 7)) warning(msg::kE15PartialQuantity);
  if (partial && isBlankOrZero(f[20], 13)) warning(msg::kE15PartialValue);

  DocumentTotals& totals = run.documentTotals;
  if (totals.currentCoo == 0) {
    totals.currentCoo = static_cast<std::int32_t>(coo);
  } else if (coo != totals.currentCoo && currentDocumentHasHeader(run)) {
    closeCoupon(run);
    totals.clear();
    totals.currentCoo = static_cast<std::int32_t>(coo);
  }

  const bool iss = isIssTotalizer(code);
  const bool icms = isIcmsTotalizer(code);
  const std::int64_t cancelledSurcharge = f.asInt(21);
  addTo(totals.cancelledSurchargeSum, cancelledSurcharge);
  addTo(iss ? totals.cancelledIss : totals.cancelledIcms, cancelledSurcharge);
  addTo(iss ? totals.cancelledSurchargeIss : totals.cancelledSurchargeIcms, cancelledSurcharge);

  const std::int64_t value = computedItemValue(f);
  const std::int64_t discount = f.asInt(14), surcharge = f.asInt(15), net = f.asInt(16);
  const std::int64_t cancelledValue = f.asInt(20);
  const bool fullyCancelled = f[18] == "S";
  if (fullyCancelled) {
    addTo(iss ? totals.cancelledIss : totals.cancelledIcms, wrapAdd(value, surcharge));
  } else {
    addTo(totals.itemsNetTotal, net);
    addTo(totals.itemTotalizers[totals.itemTotalizers.findOrAdd(code)].value, net);
    if (iss) {
      addTo(totals.itemDiscountIss, discount);
      addTo(totals.itemSurchargeIss, surcharge);
    } else if (icms) {
      addTo(totals.itemDiscountIcms, discount);
      addTo(totals.itemSurchargeIcms, surcharge);
      addTo(totals.icmsNetTotal, net);
    }
  }
  addTo(iss ? totals.cancelledIss : totals.cancelledIcms, cancelledValue / (f[24] == "2" ? 1 : 10));
  const std::int64_t gross = wrapAdd(value, surcharge);
  addTo(totals.computedGross, gross);
  addTo(iss ? totals.computedGrossIss : totals.computedGrossIcms, gross);

  if (f.asInt(19) > f.asInt(11)) run.reportError(msg::kE15CancelledQuantity, at(rec), rec.number, rec.type);
  if (!fullyCancelled && net != wrapAdd(wrapSub(wrapSub(value, discount), cancelledValue), surcharge))
    run.reportError(msg::kItemNetTotal, at(rec), rec.number, rec.type, static_cast<int>(coo));
}

void checkRecordE16(ValidationRun& run, const RecordLine& rec) {
  RecordFields f(*layoutOf(16), rec.text);
  if (!checkLengthAndFormat(run, rec, f) || !contentChecksDue(run, rec)) return;
  checkDocumentIdentity(run, rec, f);
  if (isRestBlank(rec.text, 45)) return;

  const auto warning = [&](const char* const& format) { run.reportWarning(format, at(rec), rec.number, rec.type); };
  const std::string_view denomination = f[11];
  const std::int64_t crz = f.asInt(10);
  if (denomination == "CN" || denomination == "NC") {
    if (isBlankOrZero(f[7], 6)) warning(msg::kE16NoGnf);
  } else if (denomination == "RG") {
    if (isBlankOrZero(f[8], 6)) warning(msg::kE16NoGrg);
  } else if (denomination == "CC") {
    if (isBlankOrZero(f[7], 6)) warning(msg::kE16NoGnf);
    if (isBlankOrZero(f[9], 4)) warning(msg::kE16NoCdc);
  } else if (denomination == "RZ") {
    if (isBlankOrZero(f[10], 6))
      warning(msg::kE16NoCrz);
    else if (crz < run.crzFirst || crz > run.crzLast)
      warning(msg::kCrzOutOfRange);
  } else if (!isOneOf(denomination, {"MF", "LX", "CM", "RV"})) {
    warning(msg::kE16Denomination);
  }
  if (!isValidDate(f[12], 2000)) run.reportError(msg::kE16Date, at(rec), rec.number, rec.type);
  if (!isValidTime(f[13])) run.reportError(msg::kE16Time, at(rec), rec.number, rec.type);
  run.cooList.findOrAdd(f.asInt(6));

  // A reduction Z printed on the tape must match its E12; a CRZ beyond the table
  // has no E12 to match.
  if (run.fileKind == "TDM" && denomination == "RZ" && crz <= kMaxCrz) {
    const CrzSlot& slot = run.crzTable[static_cast<std::size_t>(crz)];
    const std::string crzText(f[10]);
    if (static_cast<std::uint8_t>(f.asInt(5)) != slot.reductionUser)
      run.reportError(msg::kE16User, at(rec), rec.number, rec.type, crzText.c_str());
    if (f.asInt(6) != slot.reductionCoo)
      run.reportError(msg::kE16Coo, at(rec), rec.number, rec.type, crzText.c_str());
  }
}

}  // namespace tavex
