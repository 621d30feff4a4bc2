// The money tolerance in centavos, as the window's "Tolerancia: R$" box and
// tavex-cli's --tolerancia both read it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavex {

// The lax reading the window's box once had, which misreads amounts ("0,5" gives
// 5 centavos, "10" gives 10): nothing reads a tolerance this way now. A text longer
// than 8 characters gives 0; otherwise every ',' and '.' is removed and the rest
// read by the leading-digits rule ("0,05" -> 5, "1.000,00" -> 100000). Never
// negative: a text that reads as a negative number gives 0.
std::int64_t toleranceCentsFromText(std::string_view cp1252Text);

// The form every tolerance is read in, the command line's and the window's box:
// an amount in reais that can be read one way only. Whole reais ("0", "10", "1000"
// or "1.000"), optionally followed by a comma and exactly two centavos ("0,05",
// "10,00", "1.000,00"). Thousands dots, when used, stand between every group of
// three digits; no sign, blank, leading zero ("05") or more than fifteen digits of
// reais. Anything else answers nothing.
std::optional<std::int64_t> strictToleranceCents(std::string_view text);

// The forms strictToleranceCents reads, as a message refusing another names them (UTF-8).
inline constexpr const char* kToleranceForms =
    "reais inteiros (0, 10, 1.000) ou reais, vírgula e dois centavos (0,05, 10,00, 1.000,00)";

// The form strictToleranceCents reads, for showing a tolerance: "0,10",
// "1.000,00". REQUIRES: cents >= 0.
std::string toleranceText(std::int64_t cents);

}  // namespace tavex
