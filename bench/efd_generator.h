// The EFD ICMS/IPI files an honest taxpayer files for an ECF: from the ECF's own
// COTEPE text (a TDM file, or an MF and its MFD), one file per month of movement
// declaring every Z reduction (C405) with its totalizers (C420) and coupons (C460),
// amid the ordinary records of an EFD (C100/C170 notes, item C470 lines) and with a
// signature's bytes after "|9999|". Comparing them with the ECF's files finds no
// divergence.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavex {

struct EfdGeneratorOptions {
  bool crlf = true;
  std::size_t ordinaryNotes = 20;  // C100 notes (each with three C170 items) per file
  std::size_t itemsPerCoupon = 1;  // C470 item lines per coupon, as a taxpayer of profile A gives
  std::uint64_t seed = 1;          // the signature's bytes
};

struct GeneratedEfd {
  std::string month;  // AAAAMM
  std::string text;   // cp1252
};

// The EFD files for the ECF whose records `cotepe` holds (the lines of one or more
// COTEPE files of that ECF concatenated: E01, E02, E12, E13 and E14 are read).
std::vector<GeneratedEfd> honestEfdFiles(std::string_view cotepe, const EfdGeneratorOptions& options = {});

}  // namespace tavex
