// The COTEPE record format (Ato COTEPE/ICMS 17/04): how a line is recognised and
// where every field of every record type lies. This is the only place that knows
// positions and widths; validation, export and split slice lines through it.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string_view>

#include "cotepe/field_names.h"
#include "cotepe/text.h"

namespace tavex {

// Record types: 1..21 for E01..E21, kEadType (99) for EAD. Anything else is unknown.
// Fields are named by the enums of field_names.h: f[E15::Quantidade],
// fieldOf(line, E01::NumeroFabricacao).

enum class FieldCheck { None, Number, Date, Time };

// How a field goes into its CSV column: as it stands, or behind an apostrophe so a
// spreadsheet keeps it as text (leading zeros, long numbers, codes).
enum class Csv { Plain, Apostrophe };

struct FieldLayout {
  int number;                 // 1-based field number, as messages cite it
  std::string_view name;      // the field's name, also its CSV column header
  std::string_view dbColumn;  // its column in the database tables
  int start;                  // 1-based position in the line
  int width;
  FieldCheck check;
  Csv csv;
};

// The most fields a record has (RecordFields marks failed fields in one 64-bit set).
inline constexpr std::size_t kMaxRecordFields = 64;

struct RecordLayout {
  int type;                      // 1..21 or kEadType
  std::string_view tag;          // "E01" .. "E21", "EAD"
  int length;                    // exact length of the line without its line end
  std::span<const FieldLayout> fields;

  // The layout of field `number` (1-based). REQUIRES: 1 <= number <= fields.size().
  constexpr const FieldLayout& field(int number) const { return fields[static_cast<std::size_t>(number - 1)]; }
};

// The layout of a record type, or nullptr for an unknown type.
const RecordLayout* layoutOf(int type);

// All 22 layouts, E01..E21 then EAD. This order is also the order of the tables of
// the database exports: table i holds the records of allLayouts()[i].
std::span<const RecordLayout> allLayouts();

// The table index (0..21) of a record type in allLayouts(), or -1 for an unknown type.
int tableIndexOf(int type);

// One row of a record's table: the field's name in the record's enum, its name (the
// CSV header), its database column, start, width, format check and CSV form.
template <class Id>
struct FieldRow {
  Id id;
  std::string_view name;
  std::string_view dbColumn;
  int start;
  int width;
  FieldCheck check = FieldCheck::None;
  Csv csv = Csv::Plain;
};

// The fields of a record from its rows. A row that names another record's field, a
// row out of the enum's order, a gap or an overlap, a field without a name or
// column, or a count other than the enum's does not compile.
template <class Id, std::size_t N>
consteval std::array<FieldLayout, N> layoutRows(const FieldRow<Id> (&rows)[N]) {
  if (N != RecordOf<Id>::fieldCount) throw "the table and the enum count different fields";
  std::array<FieldLayout, N> out{};
  int next = 1;
  for (std::size_t i = 0; i < N; ++i) {
    const FieldRow<Id>& r = rows[i];
    if (static_cast<int>(r.id) != static_cast<int>(i) + 1) throw "a row out of the enum's order";
    if (r.start != next || r.width < 1) throw "a field that does not follow the one before";
    if (r.name.empty() || r.dbColumn.empty()) throw "a field without a name";
    out[i] = {static_cast<int>(r.id), r.name, r.dbColumn, r.start, r.width, r.check, r.csv};
    next += r.width;
  }
  return out;
}

// A field of the record that Id names, checked when it compiles: an enumerator
// beyond its record's layout is a compile error.
template <class Id>
struct FieldNumber {
  consteval FieldNumber(Id id) : value(static_cast<int>(id)) {  // NOLINT: converts on purpose
    if (value < 1 || value > RecordOf<Id>::fieldCount) throw "a field beyond its record's layout";
  }
  int value;
};

// The layout of field `id` of its record.
template <class Id>
const FieldLayout& fieldLayout(Id id) {
  return layoutOf(RecordOf<Id>::type)->field(static_cast<int>(id));
}

// Field `id` of `line` (a record of Id's type), cut to what the line holds.
template <class Id>
std::string_view fieldOf(std::string_view line, Id id) {
  const FieldLayout& field = fieldLayout(id);
  return sliceField(line, field.start, field.width);
}

// The type of a line from its 2nd and 3rd characters: "AD" gives 99; otherwise
// those two characters read by the leading-digits rule ("05" 5, "1 " 1, "0A" 0).
// The first character is not examined. A line shorter than 3 characters is read
// as far as it goes.
int recordTypeOf(std::string_view line);

// Removes the line end: up to two trailing characters, each only when it is CR or LF
// (the current last character is tested each time). A real character is never cut.
std::string_view stripLineEnd(std::string_view line);

}  // namespace tavex
