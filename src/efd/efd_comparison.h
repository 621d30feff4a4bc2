// The ECF against the taxpayer's EFD ICMS/IPI: each Z reduction, totalizer and
// coupon the ECF's files recorded next to what the EFD declared of it.
//
// An ECF is paired with the EFD's C400 of its serial. Its reductions "of the
// period" are the E12 whose date of movement lies in the EFD's DT_INI..DT_FIN. The
// coupons of a reduction are the E14 whose COO lies after the previous reduction's
// COO and up to its own, as the reconciliation attributes documents; they are
// compared only where a detail memory file (MFD, TDM) of the ECF covers the
// reduction's day and the EFD declared the reduction's coupons (C460).
//
// Nothing here raises an alert on an honest declaration: what cannot be compared
// is said as an information, never as a divergence.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "efd/ecf_evidence.h"
#include "efd/efd_file.h"
#include "indicators/indicator.h"

namespace tavex {

// The kinds of divergence; the codes are their names in every output.
enum class EfdCheck {
  EcfNaoEscriturado,
  RzNaoEscriturada,
  RzSemEcf,
  Data,
  Cro,
  CooFin,
  VendaBruta,
  Gt,
  Totalizador,
  SemCupons,
  CupomNaoEscriturado,
  CupomSemEcf,
  CupomValor,
  CupomSituacao,
  CupomData,
  EcfSemArquivos,
};

// "EFD_VENDA_BRUTA"...
std::string_view efdCheckCode(EfdCheck check);

struct EfdDivergence {
  EfdCheck check = EfdCheck::Data;
  IndicatorLevel level = IndicatorLevel::Alerta;
  std::string sentence;  // cp1252, an auditor's words, no final period
  std::optional<std::int64_t> crz, coo;
  std::string date;  // AAAAMMDD of the reduction or coupon; empty when none
  // The values as compared: amounts as "1234.56", dates AAAAMMDD, counters as digits;
  // empty when that side has none.
  std::string declared, recorded;
  int efdLine = 0;  // 0: none
  std::string ecfFile;  // UTF-8 path; empty when none
  int ecfLine = 0;
};

// Per month (AAAAMM) of movement.
struct EfdMonthSummary {
  std::string month;
  int reductionsDeclared = 0, reductionsRecorded = 0;
  std::int64_t grossDeclared = 0, grossRecorded = 0;
  int couponsDeclared = 0, couponsRecorded = 0;
};

struct EfdEcfComparison {
  std::string serial;              // cp1252
  std::vector<std::string> files;  // the ECF's COTEPE files (UTF-8); empty when the EFD declares an ECF with none
  int efdLine = 0;                 // of its C400; 0 when not declared
  std::vector<EfdMonthSummary> months;
  std::vector<EfdDivergence> divergences;  // alerts first, then by CRZ, COO and EFD line
  std::size_t alerts() const;
};

struct EfdComparison {
  const EfdFile* efd = nullptr;
  std::vector<EfdEcfComparison> ecfs;  // ECFs with files first (their order), then declared ones without files
  std::size_t alerts() const;
};

// An amount as a machine reads it: 123456 -> "1234.56", -5 -> "-0.05".
std::string decimalAmount(std::int64_t cents);

// The comparison of `efd` (read) with the ECFs, amounts within `toleranceCents`.
EfdComparison compareWithEfd(const EfdFile& efd, const std::vector<RecordedEcf>& ecfs, std::int64_t toleranceCents);

}  // namespace tavex
