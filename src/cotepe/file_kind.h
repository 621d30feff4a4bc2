// The kinds of COTEPE file (E01 COMANDO_GERACAO) and the one table of their rules:
// which record types a kind requires and forbids, how its findings read, which
// end-of-file reports run and whether it can be split. The structural scan, the
// document totals, the reconciliation, the split and the command line read it.
#pragma once

#include <cstdint>
#include <string_view>

#include "cotepe/field_names.h"
#include "cotepe/message.h"
#include "cotepe/text.h"

namespace tavex {

// MF, MFD, TDM and RZ are the four commands ("MF ", "MFD", "TDM", "RZ "), compared
// as exactly three characters. OtherRz is a command that is none of them but
// begins "RZ": no kind, yet its reductions' totals are reconciled as TDM's are.
enum class FileKind { None, MF, MFD, TDM, RZ, OtherRz };

FileKind fileKindOf(std::string_view comandoGeracao);

// A set of record types: bit t for Et (1..21), bit 0 for EAD.
using RecordTypes = std::uint32_t;
constexpr RecordTypes recordTypes(int first, int last) {
  RecordTypes set = 0;
  for (int t = first; t <= last; ++t) set |= RecordTypes{1} << t;
  return set;
}
inline constexpr RecordTypes kEadOnly = 1;
constexpr bool contains(RecordTypes set, int type) {
  if (type == kEadType) return (set & 1) != 0;
  return type >= 1 && type <= 21 && ((set >> type) & 1) != 0;
}

namespace msg {
inline constexpr Message<int, int> kIncompatibleMf = "Linha %d: E%02.2d -> Registro E não compatível com arquivo MF.\n"_cp;
inline constexpr Message<int, int> kIncompatibleMfd = "Linha %d: E%02.2d -> Registro E não compatível com arquivo MFD.\n"_cp;
inline constexpr Message<int, int> kIncompatibleRz = "Linha %d: E%02.2d -> Registro E não compatível com arquivo RZ.\n"_cp;
inline constexpr Message<> kOutOfOrderMf =
    "Os registros encontram-se fora da ordem registro tipo E01, E02, E03, E04, E05, E06, E07, E08, E09, E10, E11, E12, E13 e EAD.\n"_cp;
inline constexpr Message<> kOutOfOrderMfd =
    "Os registros encontram-se fora da ordem registro tipo E01, E02, E14, E15, E16, E17, E18, E19, E20, E21 e EAD.\n"_cp;
inline constexpr Message<> kOutOfOrderTdm =
    "Os registros encontram-se fora da ordem registro tipo E01, E02, E03, E04, E05, E06,\nE07, E08, E09, E10, E11, E12, E13, E14, E15, E16, E17, E18, E19, E20, E21 e EAD.\n"_cp;
inline constexpr Message<> kOutOfOrderRz =
    "Os registros encontram-se fora da ordem registro tipo E01, E02, E14, E15 e E16 e EAD.\n"_cp;
inline constexpr Message<> kOutOfOrderOther = "Os registros encontram-se fora da ordem esperada.\n"_cp;
}  // namespace msg

struct FileKindRules {
  FileKind kind;
  std::string_view name;               // "MF", "MFD", "TDM", "RZ"; empty when the command names no kind
  bool reportsSecondE02;               // a second E02 is a structural finding
  RecordTypes forbidden;               // types "not compatible" with the kind
  const Message<int, int>* incompatible;  // the message for a forbidden type (Linha, type)
  RecordTypes required;                // types that must be present (in type order, then EAD)
  const Message<>* outOfOrder;         // the message for a falling record type
  bool documentTotals;                 // non-fiscal documents and payments summed per reduction, vs E17/E18
  bool reductionTotals;                // gross sales and totalizers of each reduction vs E12/E13
  bool allMemories;                    // coupons summed per reduction; E16 "RZ" matched with its E12
  bool splittable;                     // the split accepts it
  bool reductionsFromDocuments;        // the split finds the reductions in the E16 "RZ" documents first
  std::string_view meaning;            // UTF-8, for reports: what the kind holds ("Memória Fiscal")
};

inline constexpr FileKindRules kFileKindRules[] = {
    {FileKind::None, "", false, 0, nullptr, 0, &msg::kOutOfOrderOther, false, false, false, true, false, ""},
    {FileKind::MF, "MF", true, recordTypes(14, 20), &msg::kIncompatibleMf, recordTypes(4, 13) | kEadOnly,
     &msg::kOutOfOrderMf, false, false, false, false, false, "Memória Fiscal"},
    {FileKind::MFD, "MFD", true, recordTypes(3, 13), &msg::kIncompatibleMfd, recordTypes(14, 21) | kEadOnly,
     &msg::kOutOfOrderMfd, true, false, false, true, true, "Memória de Fita-detalhe"},
    {FileKind::TDM, "TDM", true, 0, nullptr, recordTypes(4, 21) | kEadOnly, &msg::kOutOfOrderTdm, true, true, true,
     true, false, "todos os dados da memória"},
    {FileKind::RZ, "RZ", false, recordTypes(3, 13) | recordTypes(17, 20), &msg::kIncompatibleRz, 0,
     &msg::kOutOfOrderRz, false, true, false, true, false, "Redução Z"},
    {FileKind::OtherRz, "", false, 0, nullptr, 0, &msg::kOutOfOrderOther, false, true, false, true, false, ""},
};

// The rules of `kind`.
constexpr const FileKindRules& fileKindRules(FileKind kind) { return kFileKindRules[static_cast<int>(kind)]; }

// Whether a file of `kind` may hold the documents (E14 onwards) whose COO numbers
// the missing-COO report checks. An MF file holds only the reductions' COOs: the
// documents between two reductions live in the detail memory, so a gap between
// them is no finding there (the MF x MFD pair checks the numbers instead).
constexpr bool checksCooSequence(FileKind kind) { return !contains(fileKindRules(kind).forbidden, 14); }

}  // namespace tavex
