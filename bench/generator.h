// Synthetic COTEPE files of any size, deterministic from a seed, internally
// consistent: every coupon adds up to its items, every reduction's declared
// totals (E12 gross sales, E13 totalizers, E17 non-fiscal totals, E18 payment
// means) add up to its documents, COO numbers have no gaps. A file of any kind
// validates with 0 errors and 0 warnings on a date after its period.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "cotepe/file_kind.h"
#include "cotepe/record_layout.h"

namespace tavex {

// Structural faults the generator can put into a file on purpose.
enum class GeneratorFault {
  None,
  NoEad,          // the EAD record left out
  BlankLine,      // an empty line after E02
  OutOfOrder,     // the first two record groups after E02 swapped
  DuplicateE02,   // E02 written twice
  RecordAfterEad, // the last record moved after EAD
  ShortRecord,    // the last record before EAD one character short
};

struct GeneratorOptions {
  FileKind kind = FileKind::TDM;
  std::uint64_t seed = 1;
  std::uint64_t targetBytes = 100000;   // reductions are added until the file is about this size
  std::uint64_t reductions = 0;         // when not 0: exactly this many reductions (targetBytes ignored)
  std::uint64_t couponsPerReduction = 20;
  std::string periodStart = "20120102";  // the first reduction's day; one reduction per day
  bool crlf = true;
  GeneratorFault fault = GeneratorFault::None;
  // As real files of a month with nothing to record there: no E04, E10, E19 or E20
  // (no non-fiscal documents; E17 still declares its totalizer, at zero). Still
  // consistent; the full run finds only the missing record types.
  bool withoutUnusedRecords = false;
  // When not 0: a technical intervention before reduction N (from 2): the reductions
  // from N on carry CRO 2, recorded in a second E09 on the day of reduction N.
  std::uint64_t interventionAt = 0;
  // The grand totals as an ECF keeps them: E02 and E04 give the GT when the user
  // was registered (kRegistrationGt), E11 that plus every reduction's gross sales.
  // Off: every GT is zero, as files made before.
  bool grandTotals = false;
};

// The GT of the user at registration in files made with grandTotals.
inline constexpr std::int64_t kRegistrationGt = 1234567;

// Writes a whole file (E01 .. EAD) to `out`; returns the number of bytes written.
std::uint64_t generateCotepe(std::ostream& out, const GeneratorOptions& options);

// The two memories of the TDM file `options` describes (its kind is ignored), as an
// ECF gives them apart: the MF (E01 "MF ", E02, E03..E13, EAD) and the MFD (E01
// "MFD", E02, E14..E21, EAD), with the same ECF, period, records and line ends.
// `tdm`, when given, receives the TDM file itself.
void generateMemoryPair(std::ostream& mf, std::ostream& mfd, std::ostream* tdm, GeneratorOptions options);

// The part of a file's lines (without CR LF) holding reductions `firstCrz` to
// `lastCrz` and their documents, as the ECF gives a file of that period: its E01
// says those reductions' CRZ range and days; the other records of the fiscal
// memory's head stay.
std::vector<std::string> reductionsOf(const std::vector<std::string>& lines, int firstCrz, int lastCrz);

// Splits the text of a TDM file into its MF and MFD as generateMemoryPair does.
void splitMemories(std::string_view tdm, std::ostream& mf, std::ostream& mfd);

}  // namespace tavex
