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
std::int64_t computedItemValue(const FieldsOf<E15>& f) {
  std::int64_t s = f[E15::CasasQuantidade] == "2" ? 100 : 1000;
  if (f[E15::CasasValor] == "3") s *= 10;
  std::int64_t p = f.asInt(E15::ValorUnitario) * f.asInt(E15::Quantidade);
  if (f[E15::RegraCalculo] == "T") return p / s;
  const std::int64_t r = p % s;
  const std::int64_t d = r / (s / 10);
  const std::int64_t rest = r % (s / 10);
  const bool lastKeptOdd = ((p % (10 * s)) / s) % 2 != 0;
  if (d > 5 || (d == 5 && rest != 0) || (d == 5 && rest == 0 && lastKeptOdd)) p += s;
  return p / s;
}

}  // namespace

void checkRecordE14(ValidationRun& run, const RecordLine& rec) {
  FieldsOf<E14> f(rec.text);
  if (!checkLengthAndFormat(run, rec, f)) return;
  if (isRestBlank(rec.text, fieldLayout(E14::Contador).start)) return;

  const auto warning = [&](const Message<int, int>& format) { run.reportWarning(format, at(rec), rec.number, rec.type); };
  if (!isOneOf(f[E14::TipoDesconto], {"V", "P"})) warning(msg::kE14DiscountType);
  if (!isOneOf(f[E14::TipoAcrescimo], {"V", "P"})) warning(msg::kE14SurchargeType);
  if (!isOneOf(f[E14::Cancelamento], {"S", "N"})) warning(msg::kE14Cancelled);
  if (!isOneOf(f[E14::OrdemDescontoAcrescimo], {" ", "A", "D"})) warning(msg::kE14Order);
  if (!f.isBlankOrZero(E14::CpfCnpjCliente) && !isValidCnpjOrCpf(f[E14::CpfCnpjCliente])) warning(msg::kE14Customer);
  if (!contentChecksDue(run, rec)) return;

  storeDocumentHeader(run, rec, f);  // percentages are converted when the coupon is closed
  checkDocumentIdentity(run, rec, f);
  if (!isValidDate(f[E14::DataInicio], 2000))
    run.reportError(msg::kE14Date, at(rec), rec.number, rec.type);
  else if (f.asInt(E14::DataInicio) < leadingInt(run.periodStart) ||
           compareDates(f[E14::DataInicio], run.periodEnd, 1))
    run.reportError(msg::kE14DateOutsidePeriod, at(rec), rec.number, rec.type);
}

void checkRecordE15(ValidationRun& run, const RecordLine& rec) {
  FieldsOf<E15> f(rec.text);
  if (!checkLengthAndFormat(run, rec, f)) return;
  if (isRestBlank(rec.text, fieldLayout(E15::Coo).start)) return;

  const auto warning = [&](const Message<int, int>& format) { run.reportWarning(format, at(rec), rec.number, rec.type); };
  const std::string_view code = f[E15::TotalizadorParcial];
  if (!isValidTotalizerCode(code)) warning(msg::kE15Totalizer);
  if (!isOneOf(f[E15::Cancelamento], {"S", "N", "P"})) warning(msg::kE15Cancelled);
  if (!isOneOf(f[E15::RegraCalculo], {"A", "T"})) warning(msg::kE15Iat);
  if (!contentChecksDue(run, rec)) return;

  checkDocumentIdentity(run, rec, f);
  const std::int64_t coo = f.asInt(E15::Coo);
  if (!run.documentCooList.contains(coo)) run.reportError(msg::kE15Coo, at(rec), rec.number, rec.type);
  if (f.isBlankOrZero(E15::CodigoProduto)) warning(msg::kE15NoProductCode);
  if (f.isBlankOrZero(E15::Descricao)) warning(msg::kE15NoDescription);
  const bool partial = f[E15::Cancelamento] == "P";
  if (partial && f.isBlankOrZero(E15::QuantidadeCancelada)) warning(msg::kE15PartialQuantity);
  if (partial && f.isBlankOrZero(E15::ValorCancelado)) warning(msg::kE15PartialValue);

  DocumentTotals& totals = itemDocument(run, coo, closeCoupon);

  const bool iss = isIssTotalizer(code);
  const bool icms = isIcmsTotalizer(code);
  const std::int64_t cancelledSurcharge = f.asInt(E15::CancelamentoAcrescimo);
  addTo(totals.cancelledSurchargeSum, cancelledSurcharge);
  addTo(iss ? totals.cancelledIss : totals.cancelledIcms, cancelledSurcharge);
  addTo(iss ? totals.cancelledSurchargeIss : totals.cancelledSurchargeIcms, cancelledSurcharge);

  const std::int64_t value = computedItemValue(f);
  const std::int64_t discount = f.asInt(E15::DescontoItem), surcharge = f.asInt(E15::AcrescimoItem);
  const std::int64_t net = f.asInt(E15::TotalLiquido);
  const std::int64_t cancelledValue = f.asInt(E15::ValorCancelado);
  const bool fullyCancelled = f[E15::Cancelamento] == "S";
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
  addTo(iss ? totals.cancelledIss : totals.cancelledIcms, cancelledValue / (f[E15::CasasValor] == "2" ? 1 : 10));
  const std::int64_t gross = wrapAdd(value, surcharge);
  addTo(totals.computedGross, gross);
  addTo(iss ? totals.computedGrossIss : totals.computedGrossIcms, gross);

  if (f.asInt(E15::QuantidadeCancelada) > f.asInt(E15::Quantidade))
    run.reportError(msg::kE15CancelledQuantity, at(rec), rec.number, rec.type);
  const std::int64_t expected = wrapAdd(wrapSub(wrapSub(value, discount), cancelledValue), surcharge);
  if (!fullyCancelled && net != expected) {
    FindingPlace place = at(rec, static_cast<int>(E15::TotalLiquido));
    place.coo = static_cast<int>(coo);
    place.declared = net;
    place.computed = expected;
    run.reportError(msg::kItemNetTotal, place, rec.number, rec.type, static_cast<int>(coo));
  }
}

void checkRecordE16(ValidationRun& run, const RecordLine& rec) {
  FieldsOf<E16> f(rec.text);
  if (!checkLengthAndFormat(run, rec, f) || !contentChecksDue(run, rec)) return;
  checkDocumentIdentity(run, rec, f);
  if (isRestBlank(rec.text, fieldLayout(E16::NumeroUsuario).start)) return;

  const auto warning = [&](const Message<int, int>& format) { run.reportWarning(format, at(rec), rec.number, rec.type); };
  const std::string_view denomination = f[E16::Denominacao];
  const std::int64_t crz = f.asInt(E16::Crz);
  if (denomination == "CN" || denomination == "NC") {
    if (f.isBlankOrZero(E16::Gnf)) warning(msg::kE16NoGnf);
  } else if (denomination == "RG") {
    if (f.isBlankOrZero(E16::Grg)) warning(msg::kE16NoGrg);
  } else if (denomination == "CC") {
    if (f.isBlankOrZero(E16::Gnf)) warning(msg::kE16NoGnf);
    if (f.isBlankOrZero(E16::Cdc)) warning(msg::kE16NoCdc);
  } else if (denomination == "RZ") {
    if (f.isBlankOrZero(E16::Crz))
      warning(msg::kE16NoCrz);
    else if (crz < run.crzFirst || crz > run.crzLast)
      warning(msg::kCrzOutOfRange);
  } else if (!isOneOf(denomination, {"MF", "LX", "CM", "RV"})) {
    warning(msg::kE16Denomination);
  }
  if (!isValidDate(f[E16::DataFinal], 2000)) run.reportError(msg::kE16Date, at(rec), rec.number, rec.type);
  if (!isValidTime(f[E16::HoraFinal])) run.reportError(msg::kE16Time, at(rec), rec.number, rec.type);
  run.cooList.findOrAdd(f.asInt(E16::Coo));

  // A reduction Z printed on the tape must match its E12; a CRZ beyond the table
  // has no E12 to match.
  if (fileKindRules(run.fileKind).allMemories && denomination == "RZ" && crz <= kMaxCrz) {
    const CrzSlot& slot = run.crzTable[static_cast<std::size_t>(crz)];
    const std::string crzText(f[E16::Crz]);
    if (static_cast<std::uint8_t>(f.asInt(E16::NumeroUsuario)) != slot.reductionUser)
      run.reportError(msg::kE16User, at(rec), rec.number, rec.type, crzText.c_str());
    if (f.asInt(E16::Coo) != slot.reductionCoo)
      run.reportError(msg::kE16Coo, at(rec), rec.number, rec.type, crzText.c_str());
  }
}

}  // namespace tavex
