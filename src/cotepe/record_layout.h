// The COTEPE record format (Ato COTEPE/ICMS 17/04): how a line is recognised and
// where every field of every record type lies. This is the only place that knows
// positions and widths; validation, export and split slice lines through it.
#pragma once

#include <span>
#include <string_view>

namespace tavex {

// Record types: 1..21 for E01..E21, 99 for EAD. Anything else is unknown.
inline constexpr int kEadType = 99;

enum class FieldCheck { None, Number, Date, Time };

struct FieldLayout {
  int number;             // 1-based field number, as messages cite it
  std::string_view name;  // the field's name, also its CSV column header
  int start;              // 1-based position in the line
  int width;
  FieldCheck check;
};

struct RecordLayout {
  int type;                      // 1..21 or kEadType
  std::string_view tag;          // "E01" .. "E21", "EAD"
  int length;                    // exact length of the line without its line end
  std::span<const FieldLayout> fields;

  // The layout of field `number` (1-based). REQUIRES: 1 <= number <= fields.size().
  const FieldLayout& field(int number) const { return fields[static_cast<std::size_t>(number - 1)]; }
};

// The layout of a record type, or nullptr for an unknown type.
const RecordLayout* layoutOf(int type);

// All 22 layouts, E01..E21 then EAD.
std::span<const RecordLayout> allLayouts();

// The type of a line from its 2nd and 3rd characters: "AD" gives 99; otherwise
// those two characters read by the leading-digits rule ("05" 5, "1 " 1, "0A" 0).
// The first character is not examined. A line shorter than 3 characters is read
// as far as it goes.
int recordTypeOf(std::string_view line);

// The file kind: E01 COMANDO_GERACAO compared as exactly three characters.
enum class FileKind { None, MF, MFD, TDM, RZ };
FileKind fileKindOf(std::string_view comandoGeracao);

// Removes the line end: up to two trailing characters, each only when it is CR or LF
// (the current last character is tested each time). A real character is never cut.
std::string_view stripLineEnd(std::string_view line);

}  // namespace tavex
