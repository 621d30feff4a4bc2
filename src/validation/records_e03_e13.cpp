// Records of the fiscal memory: E03 to E13. Most check only their identity;
// E04 raises the user number, E07 and E10 compare with earlier records, E09, E12
// and E13 store what later checks and the totals cross-checks read.
#include <string>

#include "cotepe/text.h"
#include "validation/document_checks.h"
#include "validation/field_checks.h"
#include "validation/messages.h"
#include "validation/record_checks.h"

namespace tavex {

namespace {

// Length and format checks; true when the content checks are due.
bool begin(ValidationRun& run, const RecordLine& rec, RecordFields& f) {
  return checkLengthAndFormat(run, rec, f) && contentChecksDue(run, rec);
}

void checkIdentityOnly(ValidationRun& run, const RecordLine& rec) {
  RecordFields f(*layoutOf(rec.type), rec.text);
  if (!begin(run, rec, f)) return;
  checkEcfIdentity(run, rec, f);
}

}  // namespace

void checkRecordE03(ValidationRun& run, const RecordLine& rec) { checkIdentityOnly(run, rec); }
void checkRecordE05(ValidationRun& run, const RecordLine& rec) { checkIdentityOnly(run, rec); }
void checkRecordE06(ValidationRun& run, const RecordLine& rec) { checkIdentityOnly(run, rec); }
void checkRecordE08(ValidationRun& run, const RecordLine& rec) { checkIdentityOnly(run, rec); }
void checkRecordE11(ValidationRun& run, const RecordLine& rec) { checkIdentityOnly(run, rec); }

void checkRecordE04(ValidationRun& run, const RecordLine& rec) {
  FieldsOf<E04> f(rec.text);
  if (!begin(run, rec, f)) return;
  const std::int64_t user = f.asInt(E04::NumeroUsuario);
  if (user >= 1 && user <= 19 && user > run.userNumber) run.userNumber = static_cast<std::int32_t>(user);
  checkEcfIdentity(run, rec, f);
}

void checkRecordE07(ValidationRun& run, const RecordLine& rec) {
  FieldsOf<E07> f(rec.text);
  if (!begin(run, rec, f)) return;
  checkEcfIdentity(run, rec, f);
  if (f[E07::DataGravacao] > std::string_view(run.sbDate))
    run.reportError(msg::kE07DateAfterSb, at(rec), rec.number, rec.type);
}

void checkRecordE09(ValidationRun& run, const RecordLine& rec) {
  FieldsOf<E09> f(rec.text);
  if (!begin(run, rec, f)) return;
  const std::size_t index = run.mfRegistrationCros.findOrAdd(f.asInt(E09::Cro));
  if (run.mfRegistrations.size() <= index) run.mfRegistrations.resize(index + 1);
  MfRegistration& entry = run.mfRegistrations[index];
  if (!entry.recordDate.empty()) --run.registeredMfCount[static_cast<unsigned char>(entry.registeredMfAdicional)];
  entry.registeredMfAdicional = f[E09::MfAdicional][0];
  entry.recordDate = std::string(f[E09::DataGravacao]);
  entry.recordTime = std::string(f[E09::HoraGravacao]);
  ++run.registeredMfCount[static_cast<unsigned char>(entry.registeredMfAdicional)];
  checkEcfIdentity(run, rec, f);
}

void checkRecordE10(ValidationRun& run, const RecordLine& rec) {
  FieldsOf<E10> f(rec.text);
  if (!begin(run, rec, f)) return;
  checkEcfIdentity(run, rec, f);
  if (run.registeredMfCount[static_cast<unsigned char>(f[E10::MfAdicional][0])] == 0)
    run.reportError(msg::kE10MfAdicional, at(rec), rec.number, rec.type);
}

void checkRecordE12(ValidationRun& run, const RecordLine& rec) {
  FieldsOf<E12> f(rec.text);
  if (!begin(run, rec, f)) return;
  const std::int64_t crz = f.asInt(E12::Crz);
  CrzSlot* const reduction = declaredReduction(run, rec, crz);
  if (reduction == nullptr) return;
  if (countsForUser(run, f.asInt(E12::NumeroUsuario))) {
    if (run.firstStoredCrz == 0) run.firstStoredCrz = run.crzCursor = static_cast<std::int32_t>(crz);
    run.cooList.findOrAdd(f.asInt(E12::Coo));
    CrzSlot& slot = *reduction;
    slot.grossSales = f.asInt(E12::VendaBrutaDiaria);
    slot.reductionLine = rec.number;
    slot.reductionDate = std::string(f[E12::DataMovimento]);
    slot.reductionCoo = static_cast<std::int32_t>(f.asInt(E12::Coo));
    slot.reductionUser = static_cast<std::uint8_t>(f.asInt(E12::NumeroUsuario));
    slot.issFlag = f[E12::IssDesconto] == "S" || f[E12::IssDesconto] == "s";
    ++run.reductionVersion;
  }
  if (crz < run.crzFirst || crz > run.crzLast) run.reportWarning(msg::kCrzOutOfRange, at(rec), rec.number, rec.type);
  checkEcfIdentity(run, rec, f);
}

void checkRecordE13(ValidationRun& run, const RecordLine& rec) {
  FieldsOf<E13> f(rec.text);
  if (!begin(run, rec, f)) return;
  CrzSlot* const reduction = declaredReduction(run, rec, f.asInt(E13::Crz));
  if (reduction == nullptr) return;
  if (countsForUser(run, f.asInt(E13::NumeroUsuario))) {
    CrzSlot& slot = *reduction;
    DeclaredTotal& total = slot.totalizers[slot.totalizers.findOrAdd(f[E13::Totalizador])].value;
    total.value = f.asInt(E13::ValorAcumulado);
    total.line = rec.number;
  }
  checkEcfIdentity(run, rec, f);
}

}  // namespace tavex
