// What a field's text means to an auditor, shown beside the text itself: money as
// "R$ 1.234,56", dates as DD/MM/AAAA, times as HH:MM:SS, quantities and unit values
// with the decimals their record gives, and the codes whose meaning the program
// knows (totalizers, document denominations, "S"/"N" flags, discount types).
#pragma once

#include <string>
#include <string_view>

#include "cotepe/record_layout.h"

namespace tavex {

// The meaning of field `field` (1-based) of `record`, a line of `layout`'s type
// (cp1252). Empty when there is nothing to add to the text: a name, a counter, a
// field beyond the line, or a text that does not read as its kind (a date of
// letters is left to the format check). A date or time of digits naming no day or
// hour reads "data inexistente" / "hora inexistente".
std::string interpretedValue(const RecordLayout& layout, int field, std::string_view record);

}  // namespace tavex
