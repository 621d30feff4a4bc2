#include "ui/tolerance.h"

#include <string>

#include "cotepe/text.h"

namespace tavex {

std::int64_t toleranceCentsFromText(std::string_view text) {
  if (text.size() > 8) return 0;
  std::string digits;
  for (char c : text)
    if (c != ',' && c != '.') digits.push_back(c);
  const std::int64_t cents = leadingInt(digits);
  return cents < 0 ? 0 : cents;
}

}  // namespace tavex
