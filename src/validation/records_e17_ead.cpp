// Reduction totals E17/E18, non-fiscal documents E19/E20, payments E21, and the
// signature record EAD. E17/E18 store what each reduction declares; E19/E20 feed
// the document table and sums as E14/E15 do; E21 adds each payment to its
// reduction.
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

// E17 and E18: the named total of field 7 in the reduction of field 6.
void storeReductionTotal(ValidationRun& run, const RecordLine& rec, NamedTable<DeclaredTotal> CrzSlot::*table) {
  RecordFields f(*layoutOf(rec.type), rec.text);
  if (!checkLengthAndFormat(run, rec, f) || !contentChecksDue(run, rec)) return;
  checkDocumentIdentity(run, rec, f);
  if (!countsForUser(run, f.asInt(5))) return;
  const std::int64_t crz = f.asInt(6);
  if (crz > kMaxCrz) {
    run.reportError(msg::kCrzInvalid, at(rec), rec.number, rec.type);
    return;
  }
  NamedTable<DeclaredTotal>& totals = run.crzTable[static_cast<std::size_t>(crz)].*table;
  DeclaredTotal& total = totals[totals.findOrAdd(f[7])].value;
  total.value = f.asInt(8);
  total.line = rec.number;
}

// The E19 percentages in hundredths of a percent become centavos at once.
void convertPercentages(DocumentEntry& d) {
  const auto percentOf = [](std::int64_t stored) { return static_cast<std::int16_t>(stored); };
  if (d.orderIndicator == 'D') {
    if (d.discountIsPercent) {
      d.discountPercent = percentOf(d.discount);
      d.discount = mulDiv(d.subtotal, d.discountPercent, 10000);
    }
    if (d.surchargeIsPercent) {
      d.surchargePercent = percentOf(d.surcharge);
      d.surcharge = mulDiv(wrapSub(d.subtotal, d.discount), d.surchargePercent, 10000);
    }
  } else {
    if (d.surchargeIsPercent) {
      d.surchargePercent = percentOf(d.surcharge);
      d.surcharge = mulDiv(d.subtotal, d.surchargePercent, 10000);
    }
    if (d.discountIsPercent) {
      d.discountPercent = percentOf(d.discount);
      d.discount = mulDiv(wrapAdd(d.subtotal, d.surcharge), d.discountPercent, 10000);
    }
  }
}

}  // namespace

void checkRecordE17(ValidationRun& run, const RecordLine& rec) { storeReductionTotal(run, rec, &CrzSlot::nonFiscal); }
void checkRecordE18(ValidationRun& run, const RecordLine& rec) { storeReductionTotal(run, rec, &CrzSlot::payments); }

void checkRecordE19(ValidationRun& run, const RecordLine& rec) {
  run.documentTotals.clear();  // the last coupon's sums never reach the non-fiscal documents
  RecordFields f(*layoutOf(19), rec.text);
  if (!checkLengthAndFormat(run, rec, f)) return;
  if (isRestBlank(rec.text, 47)) return;

  const auto warning = [&](const char* const& format) { run.reportWarning(format, at(rec), rec.number, rec.type); };
  const auto error = [&](const char* const& format) { run.reportError(format, at(rec), rec.number, rec.type); };
  const bool cancelValid = isOneOf(f[15], {"S", "N"});
  const bool orderValid = isOneOf(f[17], {"D", "A", " "});
  if (!cancelValid) warning(msg::kE19CancelledWarning);
  if (!orderValid) warning(msg::kE19OrderSubtotal);
  if (!isBlankOrZero(f[19], 14) && !isValidCnpjOrCpf(f[19])) warning(msg::kE19Customer);
  if (!isOneOf(f[11], {"V", "P", " "})) error(msg::kE19DiscountType);
  if (!isOneOf(f[13], {"V", "P", " "})) error(msg::kE19SurchargeType);
  if (!cancelValid) error(msg::kE19CancelledError);
  if (!orderValid) warning(msg::kE19Order);
  if (!contentChecksDue(run, rec)) return;

  checkDocumentIdentity(run, rec, f);
  if (!isValidDate(f[8], 2000))
    error(msg::kE19Date);
  else if (f.asInt(8) < leadingInt(run.periodStart))
    warning(msg::kE19DateBeforePeriod);

  DocumentEntry& d = storeDocumentHeader(run, rec, f, 6);
  convertPercentages(d);
  if (d.isCancelled) return;
  if (d.netTotal != wrapAdd(wrapSub(d.subtotal, d.discount), d.surcharge))
    run.reportError(msg::kDocumentNetTotal, at(rec), rec.number, rec.type, static_cast<int>(f.asInt(6)));
}

void checkRecordE20(ValidationRun& run, const RecordLine& rec) {
  RecordFields f(*layoutOf(20), rec.text);
  if (!checkLengthAndFormat(run, rec, f)) return;
  if (isRestBlank(rec.text, 47)) return;
  if (!isOneOf(f[14], {"S", "N"})) run.reportWarning(msg::kE20Cancelled, at(rec), rec.number, rec.type);
  if (!contentChecksDue(run, rec)) return;

  checkDocumentIdentity(run, rec, f);
  const std::int64_t coo = f.asInt(6);
  if (!run.documentCooList.contains(coo)) run.reportError(msg::kE20Coo, at(rec), rec.number, rec.type);

  DocumentTotals& totals = run.documentTotals;
  if (totals.currentCoo == 0) {
    totals.currentCoo = static_cast<std::int32_t>(coo);
  } else if (coo != totals.currentCoo && currentDocumentHasHeader(run)) {
    closeNonFiscalDocument(run);
    totals.clear();
    totals.currentCoo = static_cast<std::int32_t>(coo);
  }

  const std::int64_t operation = f.asInt(10), discount = f.asInt(11), surcharge = f.asInt(12), net = f.asInt(13);
  const std::int64_t cancelledSurcharge = f.asInt(15);
  addTo(totals.cancelledSurchargeSum, cancelledSurcharge);
  addTo(totals.nonFiscalCancelled, cancelledSurcharge);
  const bool cancelled = f[14] == "S";
  if (cancelled) {
    addTo(totals.nonFiscalCancelled, wrapAdd(operation, surcharge));
  } else {
    addTo(totals.nonFiscalItems[totals.nonFiscalItems.findOrAdd(f[9])].value, net);
    addTo(totals.itemsNetTotal, net);
    addTo(totals.nonFiscalDiscount, discount);
    addTo(totals.nonFiscalSurcharge, surcharge);
  }
  if (!cancelled && net != wrapAdd(wrapSub(operation, discount), surcharge))
    run.reportError(msg::kItemNetTotal, at(rec), rec.number, rec.type, static_cast<int>(coo));
}

void checkRecordE21(ValidationRun& run, const RecordLine& rec) {
  RecordFields f(*layoutOf(21), rec.text);
  if (!checkLengthAndFormat(run, rec, f)) return;
  if (isRestBlank(rec.text, 47)) return;

  const auto warning = [&](const char* const& format) { run.reportWarning(format, at(rec), rec.number, rec.type); };
  if (!isOneOf(f[11], {"S", "N", "P"})) warning(msg::kE21Reversal);
  if (f.asInt(6) == 0) warning(msg::kE21ZeroCoo);
  if (f.asInt(7) == 0 && f.asInt(8) == 0) warning(msg::kE21NoCcfOrGnf);
  if (isOneOf(f[11], {"S", "P"}) && isBlankOrZero(f[12], 13)) warning(msg::kE21NoReversalValue);
  if (!contentChecksDue(run, rec)) return;

  checkDocumentIdentity(run, rec, f);
  if (!countsForUser(run, f.asInt(5))) return;
  const std::int64_t coo = f.asInt(6);
  CrzSlot& slot = run.crzTable[reductionSlotOf(run, coo)];
  const std::size_t k = slot.payments.findOrAdd(f[9]);
  if (run.documentEntry(coo).isCancelled) return;
  addTo(slot.payments[k].value.documentSum, wrapSub(f.asInt(10), f.asInt(12)));
}

void checkRecordEad(ValidationRun& run, const RecordLine& rec) {
  RecordFields f(*layoutOf(kEadType), rec.text);
  if (!checkLengthAndFormat(run, rec, f)) return;
  if (rec.mode == CheckMode::Full && isBlankOrZero(f[2], 256))
    run.reportError(msg::kEadUnsigned, at(rec, 2), rec.number);
}

}  // namespace tavex
