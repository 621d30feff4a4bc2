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

// E17 and E18: the total `Name` in the reduction of its CRZ.
template <auto Name>
void storeReductionTotal(ValidationRun& run, const RecordLine& rec, NamedTable<DeclaredTotal> CrzSlot::*table) {
  using Id = decltype(Name);
  FieldsOf<Id> f(rec.text);
  if (!checkLengthAndFormat(run, rec, f) || !contentChecksDue(run, rec)) return;
  checkDocumentIdentity(run, rec, f);
  if (!countsForUser(run, f.asInt(Id::NumeroUsuario))) return;
  CrzSlot* const reduction = declaredReduction(run, rec, f.asInt(Id::Crz));
  if (reduction == nullptr) return;
  NamedTable<DeclaredTotal>& totals = reduction->*table;
  DeclaredTotal& total = totals[totals.findOrAdd(f[Name])].value;
  total.value = f.asInt(Id::ValorAcumulado);
  total.line = rec.number;
}

}  // namespace

void checkRecordE17(ValidationRun& run, const RecordLine& rec) {
  storeReductionTotal<E17::TotalizadorNaoFiscal>(run, rec, &CrzSlot::nonFiscal);
}
void checkRecordE18(ValidationRun& run, const RecordLine& rec) {
  storeReductionTotal<E18::MeioPagamento>(run, rec, &CrzSlot::payments);
}

void checkRecordE19(ValidationRun& run, const RecordLine& rec) {
  run.documentTotals.clear();  // the last coupon's sums never reach the non-fiscal documents
  FieldsOf<E19> f(rec.text);
  if (!checkLengthAndFormat(run, rec, f)) return;
  if (isRestBlank(rec.text, fieldLayout(E19::Coo).start)) return;

  const auto warning = [&](const Message<int, int>& format) { run.reportWarning(format, at(rec), rec.number, rec.type); };
  const auto error = [&](const Message<int, int>& format) { run.reportError(format, at(rec), rec.number, rec.type); };
  const bool cancelValid = isOneOf(f[E19::Cancelamento], {"S", "N"});
  const bool orderValid = isOneOf(f[E19::OrdemDescontoAcrescimo], {"D", "A", " "});
  if (!cancelValid) warning(msg::kE19CancelledWarning);
  if (!orderValid) warning(msg::kE19OrderSubtotal);
  if (!f.isBlankOrZero(E19::CpfCnpjCliente) && !isValidCnpjOrCpf(f[E19::CpfCnpjCliente])) warning(msg::kE19Customer);
  if (!isOneOf(f[E19::TipoDesconto], {"V", "P", " "})) error(msg::kE19DiscountType);
  if (!isOneOf(f[E19::TipoAcrescimo], {"V", "P", " "})) error(msg::kE19SurchargeType);
  if (!cancelValid) error(msg::kE19CancelledError);
  if (!orderValid) warning(msg::kE19Order);
  if (!contentChecksDue(run, rec)) return;

  checkDocumentIdentity(run, rec, f);
  if (!isValidDate(f[E19::DataInicio], 2000))
    error(msg::kE19Date);
  else if (f.asInt(E19::DataInicio) < leadingInt(run.periodStart))
    warning(msg::kE19DateBeforePeriod);

  DocumentEntry& d = storeDocumentHeader(run, rec, f);
  convertPercentages(d, std::nullopt);  // at once, over the subtotal
  if (d.isCancelled) return;
  if (d.netTotal != wrapAdd(wrapSub(d.subtotal, d.discount), d.surcharge))
    run.reportError(msg::kDocumentNetTotal, at(rec), rec.number, rec.type, static_cast<int>(f.asInt(E19::Coo)));
}

void checkRecordE20(ValidationRun& run, const RecordLine& rec) {
  FieldsOf<E20> f(rec.text);
  if (!checkLengthAndFormat(run, rec, f)) return;
  if (isRestBlank(rec.text, fieldLayout(E20::Coo).start)) return;
  if (!isOneOf(f[E20::Cancelamento], {"S", "N"})) run.reportWarning(msg::kE20Cancelled, at(rec), rec.number, rec.type);
  if (!contentChecksDue(run, rec)) return;

  checkDocumentIdentity(run, rec, f);
  const std::int64_t coo = f.asInt(E20::Coo);
  if (!run.documentCooList.contains(coo)) run.reportError(msg::kE20Coo, at(rec), rec.number, rec.type);

  DocumentTotals& totals = itemDocument(run, coo, closeNonFiscalDocument);

  const std::int64_t operation = f.asInt(E20::ValorOperacao), discount = f.asInt(E20::DescontoItem);
  const std::int64_t surcharge = f.asInt(E20::AcrescimoItem), net = f.asInt(E20::TotalLiquido);
  const std::int64_t cancelledSurcharge = f.asInt(E20::CancelamentoAcrescimo);
  addTo(totals.cancelledSurchargeSum, cancelledSurcharge);
  addTo(totals.nonFiscalCancelled, cancelledSurcharge);
  const bool cancelled = f[E20::Cancelamento] == "S";
  if (cancelled) {
    addTo(totals.nonFiscalCancelled, wrapAdd(operation, surcharge));
  } else {
    addTo(totals.nonFiscalItems[totals.nonFiscalItems.findOrAdd(f[E20::Denominacao])].value, net);
    addTo(totals.itemsNetTotal, net);
    addTo(totals.nonFiscalDiscount, discount);
    addTo(totals.nonFiscalSurcharge, surcharge);
  }
  const std::int64_t expected = wrapAdd(wrapSub(operation, discount), surcharge);
  if (!cancelled && net != expected) {
    FindingPlace place = at(rec, static_cast<int>(E20::TotalLiquido));
    place.coo = static_cast<int>(coo);
    place.declared = net;
    place.computed = expected;
    run.reportError(msg::kItemNetTotal, place, rec.number, rec.type, static_cast<int>(coo));
  }
}

void checkRecordE21(ValidationRun& run, const RecordLine& rec) {
  FieldsOf<E21> f(rec.text);
  if (!checkLengthAndFormat(run, rec, f)) return;
  if (isRestBlank(rec.text, fieldLayout(E21::Coo).start)) return;

  const auto warning = [&](const Message<int, int>& format) { run.reportWarning(format, at(rec), rec.number, rec.type); };
  if (!isOneOf(f[E21::IndicadorEstorno], {"S", "N", "P"})) warning(msg::kE21Reversal);
  if (f.asInt(E21::Coo) == 0) warning(msg::kE21ZeroCoo);
  if (f.asInt(E21::Ccf) == 0 && f.asInt(E21::Gnf) == 0) warning(msg::kE21NoCcfOrGnf);
  if (isOneOf(f[E21::IndicadorEstorno], {"S", "P"}) && f.isBlankOrZero(E21::ValorEstornado))
    warning(msg::kE21NoReversalValue);
  if (!contentChecksDue(run, rec)) return;

  checkDocumentIdentity(run, rec, f);
  if (!countsForUser(run, f.asInt(E21::NumeroUsuario))) return;
  const std::int64_t coo = f.asInt(E21::Coo);
  CrzSlot& slot = run.crzTable[reductionSlotOf(run, coo)];
  const std::size_t k = slot.payments.findOrAdd(f[E21::MeioPagamento]);
  if (run.documentEntry(coo).isCancelled) return;
  addTo(slot.payments[k].value.documentSum, wrapSub(f.asInt(E21::ValorPago), f.asInt(E21::ValorEstornado)));
}

void checkRecordEad(ValidationRun& run, const RecordLine& rec) {
  FieldsOf<Ead> f(rec.text);
  if (!checkLengthAndFormat(run, rec, f)) return;
  if (rec.mode == CheckMode::Full && f.isBlankOrZero(Ead::Assinatura))
    run.reportError(msg::kEadUnsigned, at(rec, 2), rec.number);
}

}  // namespace tavex
