// Writing COTEPE records: a line of one record type from field values given by
// name, laid out by the record layout (numbers right-aligned and zero-filled,
// texts left-aligned and blank-filled, every value cut to its width). Used by the
// file generator, the simulated ECF and the tests.
#pragma once

#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace tavex {

using FieldValue = std::pair<std::string_view, std::string_view>;  // (field name, value)

// The record without a line end. TIPO_REG is filled in; fields not given are zeros
// (numbers) or blanks (everything else); a name given twice takes its last value. REQUIRES: a known type and known names.
std::string makeRecord(int type, std::span<const FieldValue> values);
inline std::string makeRecord(int type, std::initializer_list<FieldValue> values) {
  return makeRecord(type, std::span<const FieldValue>(values.begin(), values.size()));
}

// Lays one value into a field of `width` the way makeRecord does.
std::string layField(std::string_view value, int width, bool numeric);

}  // namespace tavex
