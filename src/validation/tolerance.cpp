#include "validation/tolerance.h"

#include <string>

#include "cotepe/br_format.h"
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

namespace {

bool digitsOnly(std::string_view text) { return !text.empty() && isAllDigits(text); }

// The reais before the comma without their thousands dots, or nothing when the
// dots do not stand between groups of three.
std::optional<std::string> wholeReais(std::string_view text) {
  const std::size_t dot = text.find('.');
  if (dot == std::string_view::npos) return digitsOnly(text) ? std::optional(std::string(text)) : std::nullopt;
  std::string digits(text.substr(0, dot));
  if (digits.size() > 3 || !digitsOnly(digits)) return std::nullopt;
  for (std::string_view rest = text.substr(dot); !rest.empty(); rest.remove_prefix(4)) {
    if (rest.size() < 4 || rest[0] != '.' || !digitsOnly(rest.substr(1, 3))) return std::nullopt;
    digits += rest.substr(1, 3);
  }
  return digits;
}

}  // namespace

std::optional<std::int64_t> strictToleranceCents(std::string_view text) {
  const std::size_t comma = text.find(',');
  std::int64_t centavos = 0;
  if (comma != std::string_view::npos) {
    const std::string_view decimals = text.substr(comma + 1);
    if (decimals.size() != 2 || !digitsOnly(decimals)) return std::nullopt;
    centavos = leadingInt(decimals);
  }
  const std::optional<std::string> reais = wholeReais(text.substr(0, comma));
  if (!reais || reais->size() > 15 || (reais->size() > 1 && (*reais)[0] == '0')) return std::nullopt;
  return leadingInt(*reais) * 100 + centavos;
}

std::string toleranceText(std::int64_t cents) {
  return brazilianMoney(cents);
}

}  // namespace tavex
