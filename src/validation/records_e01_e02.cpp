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
  FieldsOf<E01> f(rec.text);
  if (!checkLengthAndFormat(run, rec, f) || !contentChecksDue(run, rec)) return;

  run.fileKind = fileKindOf(f[E01::ComandoGeracao]);
  run.ecfSerial = str(f[E01::NumeroFabricacao]);
  run.ecfBrand = str(f[E01::Marca]);
  run.ecfModel = str(f[E01::Modelo]);
  run.mfAdicional = f[E01::MfAdicional].empty() ? '\0' : f[E01::MfAdicional][0];
  run.userCnpj = str(f[E01::CnpjUsuario]);
  run.sbDate = str(f[E01::DataGravacaoSb]);
  run.periodStart = str(f[E01::DataInicial]);
  run.periodEnd = str(f[E01::DataFinal]);

  const auto error = [&](const Message<int, int>& format) { run.reportError(format, at(rec), rec.number, rec.type); };
  const auto warning = [&](const Message<int, int>& format) { run.reportWarning(format, at(rec), rec.number, rec.type); };

  if (f.isBlankOrZero(E01::NumeroFabricacao)) error(msg::kE01NoSerial);
  const char mf = f[E01::MfAdicional][0];
  if (!((mf >= 'A' && mf <= 'Z') || mf == ' ')) warning(msg::kE01MfAdicional);
  if (f.isBlankOrZero(E01::TipoEcf)) warning(msg::kE01NoType);
  if (f.isBlankOrZero(E01::Marca)) warning(msg::kE01NoBrand);
  if (f.isBlankOrZero(E01::Modelo)) warning(msg::kE01NoModel);
  if (f.isBlankOrZero(E01::VersaoSb)) warning(msg::kE01NoSbVersion);
  if (!isValidDate(f[E01::DataGravacaoSb], 2000)) warning(msg::kE01SbDate);
  if (!isValidTime(f[E01::HoraGravacaoSb])) warning(msg::kE01SbTime);
  if (!isValidCnpjOrCpf(f[E01::CnpjUsuario])) error(msg::kE01Cnpj);
  if (fileKindRules(run.fileKind).name.empty()) error(msg::kE01Kind);
  run.crzFirst = static_cast<std::int32_t>(f.asInt(E01::CrzInicial));
  run.crzLast = static_cast<std::int32_t>(f.asInt(E01::CrzFinal));
  if (run.crzLast < run.crzFirst) warning(msg::kE01CrzRange);
  if (!isValidDate(f[E01::DataInicial], 2000))
    error(msg::kE01StartDate);
  else if (f.asInt(E01::DataInicial) >= leadingInt(run.today))
    error(msg::kE01StartNotBeforeToday);
  if (!isValidDate(f[E01::DataFinal], 2000))
    error(msg::kE01EndDate);
  else if (f.asInt(E01::DataFinal) < f.asInt(E01::DataInicial))
    error(msg::kE01EndBeforeStart);
  if (!isVersionFormat(f[E01::VersaoDll])) warning(msg::kE01DllVersion);
  if (!isVersionFormat(sliceField(f[E01::VersaoAtoCotepe], 8, 8))) warning(msg::kE01AtoVersion);
}

void checkRecordE02(ValidationRun& run, const RecordLine& rec) {
  FieldsOf<E02> f(rec.text);
  if (!checkLengthAndFormat(run, rec, f) || !contentChecksDue(run, rec)) return;

  const auto warning = [&](const Message<int, int>& format) { run.reportWarning(format, at(rec), rec.number, rec.type); };

  if (f.isBlankOrZero(E02::NumeroFabricacao))
    warning(msg::kE02Serial);
  else
    checkEcfIdentity(run, rec, f);
  if (f[E02::MfAdicional][0] != run.mfAdicional) warning(msg::kE02MfAdicional);
  const std::string cnpj = str(f[E02::Cnpj]);
  if (!isValidCnpjOrCpf(f[E02::Cnpj]))
    run.reportError(msg::kE02CnpjInvalid, at(rec), rec.number, rec.type, cnpj.c_str());
  if (f[E02::Cnpj] != run.userCnpj) run.reportError(msg::kE02CnpjDiffers, at(rec), rec.number, rec.type, cnpj.c_str());
  if (!hasNoEditMask(f[E02::Ie]))
    run.reportError(msg::kE02IeMask, at(rec), rec.number, rec.type, str(f[E02::Ie]).c_str());
  if (!isValidDate(f[E02::DataCadastro], 2000)) warning(msg::kE02Date);
  if (!isValidTime(f[E02::HoraCadastro])) warning(msg::kE02Time);
  if (f.asInt(E02::Cro) <= 0) warning(msg::kE02Cro);

  run.userNumber = static_cast<std::int32_t>(f.asInt(E02::NumeroUsuario));
}

}  // namespace tavex
