// E01 identifies the ECF and the file; E02 its user. E01 fills the reference values
// every later record is compared with.
#include <string>

#include "cotepe/text.h"
#include "validation/field_checks.h"
#include "validation/messages.h"
#include "validation/record_checks.h"

namespace tavex {

namespace {

std::string str(std::string_view s) { return std::string(s); }

}  // namespace

void checkRecordE01(ValidationRun& run, const RecordLine& rec) {
  RecordFields f(*layoutOf(1), rec.text);
  if (!checkLengthAndFormat(run, rec, f) || !contentChecksDue(run, rec)) return;

  run.fileKind = str(f[12]);
  run.ecfSerial = str(f[2]);
  run.ecfBrand = str(f[5]);
  run.ecfModel = str(f[6]);
  run.mfAdicional = f[3].empty() ? '\0' : f[3][0];
  run.userCnpj = str(f[11]);
  run.sbDate = str(f[8]);
  run.periodStart = str(f[15]);
  run.periodEnd = str(f[16]);

  const auto error = [&](const char* const& format) { run.reportError(format, at(rec), rec.number, rec.type); };
  const auto warning = [&](const char* const& format) { run.reportWarning(format, at(rec), rec.number, rec.type); };

  if (isBlankOrZero(f[2], 20)) error(msg::kE01NoSerial);
  const char mf = f[3][0];
  if (!((mf >= 'A' && mf <= 'Z') || mf == ' ')) warning(msg::kE01MfAdicional);
  if (isBlankOrZero(f[4], 7)) warning(msg::kE01NoType);
  if (isBlankOrZero(f[5], 20)) warning(msg::kE01NoBrand);
  if (isBlankOrZero(f[6], 20)) warning(msg::kE01NoModel);
  if (isBlankOrZero(f[7], 10)) warning(msg::kE01NoSbVersion);
  if (!isValidDate(f[8], 2000)) warning(msg::kE01SbDate);
  if (!isValidTime(f[9])) warning(msg::kE01SbTime);
  if (!isValidCnpjOrCpf(f[11])) error(msg::kE01Cnpj);
  if (fileKindOf(f[12]) == FileKind::None) error(msg::kE01Kind);
  run.crzFirst = static_cast<std::int32_t>(f.asInt(13));
  run.crzLast = static_cast<std::int32_t>(f.asInt(14));
  if (run.crzLast < run.crzFirst) warning(msg::kE01CrzRange);
  if (!isValidDate(f[15], 2000))
    error(msg::kE01StartDate);
  else if (f.asInt(15) >= leadingInt(run.today))
    error(msg::kE01StartNotBeforeToday);
  if (!isValidDate(f[16], 2000))
    error(msg::kE01EndDate);
  else if (f.asInt(16) < f.asInt(15))
    error(msg::kE01EndBeforeStart);
  if (!isVersionFormat(f[17])) warning(msg::kE01DllVersion);
  if (!isVersionFormat(sliceField(f[18], 8, 8))) warning(msg::kE01AtoVersion);
}

void checkRecordE02(ValidationRun& run, const RecordLine& rec) {
  RecordFields f(*layoutOf(2), rec.text);
  if (!checkLengthAndFormat(run, rec, f) || !contentChecksDue(run, rec)) return;

  const auto warning = [&](const char* const& format) { run.reportWarning(format, at(rec), rec.number, rec.type); };

  if (isBlankOrZero(f[2], 20))
    warning(msg::kE02Serial);
  else
    checkEcfIdentity(run, rec, f[2], f[4]);
  if (f[3][0] != run.mfAdicional) warning(msg::kE02MfAdicional);
  const std::string cnpj = str(f[5]);
  if (!isValidCnpjOrCpf(f[5])) run.reportError(msg::kE02CnpjInvalid, at(rec), rec.number, rec.type, cnpj.c_str());
  if (f[5] != run.userCnpj) run.reportError(msg::kE02CnpjDiffers, at(rec), rec.number, rec.type, cnpj.c_str());
  if (!hasNoEditMask(f[6]))
    run.reportError(msg::kE02IeMask, at(rec), rec.number, rec.type, str(f[6]).c_str());
  if (!isValidDate(f[9], 2000)) warning(msg::kE02Date);
  if (!isValidTime(f[10])) warning(msg::kE02Time);
  if (f.asInt(11) <= 0) warning(msg::kE02Cro);

  run.userNumber = static_cast<std::int32_t>(f.asInt(13));
}

}  // namespace tavex
