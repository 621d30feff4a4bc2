// The money tolerance typed beside "Tolerancia: R$", in centavos.
#pragma once

#include <cstdint>
#include <string_view>

namespace tavex {

// A text longer than 8 characters gives 0; otherwise every ',' and '.' is removed
// and the rest read by the leading-digits rule ("0,05" -> 5, "1.000,00" -> 100000).
// Never negative: a text that reads as a negative number gives 0.
std::int64_t toleranceCentsFromText(std::string_view cp1252Text);

}  // namespace tavex
