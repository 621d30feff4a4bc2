// The money tolerance in centavos: the window's "Tolerancia: R$" box, and the
// stricter form tavex-cli takes on its command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavex {

// The window's box. A text longer than 8 characters gives 0; otherwise every ','
// and '.' is removed and the rest read by the leading-digits rule ("0,05" -> 5,
// "1.000,00" -> 100000). Never negative: a text that reads as a negative number gives 0.
std::int64_t toleranceCentsFromText(std::string_view cp1252Text);

// The command line's form: an amount in reais that can be read one way only. Whole
// reais ("0", "10", "1000" or "1.000"), optionally followed by a comma and exactly
// two centavos ("0,05", "10,00", "1.000,00"). Thousands dots, when used, stand
// between every group of three digits; no sign, blank, leading zero ("05") or more
// than fifteen digits of reais. Anything else answers nothing.
std::optional<std::int64_t> strictToleranceCents(std::string_view text);

// The form strictToleranceCents reads, for showing a tolerance: "0,10",
// "1.000,00". REQUIRES: cents >= 0.
std::string toleranceText(std::int64_t cents);

}  // namespace tavex
