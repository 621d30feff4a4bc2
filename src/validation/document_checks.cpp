#include "validation/document_checks.h"

#include <algorithm>

#include "cotepe/text.h"
#include "validation/field_checks.h"
#include "validation/messages.h"

namespace tavex {

void checkDocumentIdentity(ValidationRun& run, const RecordLine& rec, const RecordFields& f) {
  if (f.isBlankOrZero(static_cast<int>(Common::NumeroFabricacao)))
    run.reportWarning(msg::kDocumentSerial, at(rec), rec.number, rec.type, rec.type);
  else
    checkEcfIdentity(run, rec, f);
  if (f[Common::MfAdicional][0] != run.mfAdicional) run.reportWarning(msg::kDocumentMfAdicional, at(rec), rec.number, rec.type, rec.type);
}

template <class Id>
DocumentEntry& storeDocumentHeader(ValidationRun& run, const RecordLine& rec, const FieldsOf<Id>& f) {
  const std::int64_t coo = f.asInt(Id::Coo);
  run.cooList.findOrAdd(coo);
  DocumentEntry& d = run.documentEntry(coo);
  d.headerLine = rec.number;
  d.subtotal = f.asInt(Id::Subtotal);
  d.netTotal = f.asInt(Id::TotalLiquido);
  d.discount = f.asInt(Id::DescontoSubtotal);
  d.surcharge = f.asInt(Id::AcrescimoSubtotal);
  d.cancelledSurcharge = f.asInt(Id::CancelamentoAcrescimo);
  d.isCancelled = f[Id::Cancelamento] == "S";
  d.orderIndicator = f[Id::OrdemDescontoAcrescimo][0];
  d.discountIsPercent = f[Id::TipoDesconto] == "P";
  d.surchargeIsPercent = f[Id::TipoAcrescimo] == "P";
  return d;
}
template DocumentEntry& storeDocumentHeader(ValidationRun&, const RecordLine&, const FieldsOf<E14>&);
template DocumentEntry& storeDocumentHeader(ValidationRun&, const RecordLine&, const FieldsOf<E19>&);

bool isIssTotalizer(std::string_view code) {
  return (code.size() > 1 && code[1] == 'S') || (code.size() > 2 && code[2] == 'S');
}

bool isIcmsTotalizer(std::string_view code) {
  if (isIssTotalizer(code) || code.empty()) return false;
  return (code.size() > 2 && code[2] == 'T') || code[0] == 'F' || code[0] == 'I' || code[0] == 'N';
}

CrzSlot* declaredReduction(ValidationRun& run, const RecordLine& rec, std::int64_t crz) {
  if (crz > kMaxCrz) {
    run.reportError(msg::kCrzInvalid, at(rec), rec.number, rec.type);
    return nullptr;
  }
  return &run.crzTable[static_cast<std::size_t>(crz)];
}

std::size_t reductionSlotOf(ValidationRun& run, std::int64_t coo) {
  // The highest reduction COO up to each slot only grows, so the first slot whose
  // own COO reaches `coo` is the first whose running maximum does. The maxima are
  // rebuilt only after an E12 has changed the table.
  if (run.reductionMaximaVersion != run.reductionVersion) {
    run.reductionMaxima.assign(kMaxCrz + 1, 0);
    std::int64_t highest = 0;
    for (std::size_t i = 1; i <= kMaxCrz; ++i) {
      highest = std::max<std::int64_t>(highest, run.crzTable[i].reductionCoo);
      run.reductionMaxima[i] = highest;
    }
    run.reductionMaximaVersion = run.reductionVersion;
  }
  const std::int64_t wanted = std::max<std::int64_t>(coo, 1);  // empty slots (COO 0) never match
  const auto it = std::lower_bound(run.reductionMaxima.begin() + 1, run.reductionMaxima.end(), wanted);
  return it == run.reductionMaxima.end() ? kMaxCrz : static_cast<std::size_t>(it - run.reductionMaxima.begin());
}

}  // namespace tavex
