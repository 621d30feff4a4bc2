// A printf message that carries the types of its arguments. The constructor reads
// the conversions of the text at compile time and refuses a text whose conversions
// do not take exactly `Args`, and a caller that passes other arguments does not
// compile (see PassesAs): a wrong argument cannot reach printf.
//
// The address of `text` inside a message constant names the message (the
// validation's finding codes are keyed by it).
#pragma once

#include <concepts>
#include <type_traits>

namespace tavex {

namespace detail {

// The type printf takes for conversion `c` with length modifier `longs` ('l'
// count); void for one this house does not use.
template <class T>
constexpr bool conversionTakes(char c, int longs) {
  switch (c) {
    case 'd':
    case 'i':
      return longs == 0 ? std::is_same_v<T, int> : longs == 1 ? std::is_same_v<T, long> : std::is_same_v<T, long long>;
    case 'u':
    case 'x':
    case 'X':
      return longs == 0   ? std::is_same_v<T, unsigned>
             : longs == 1 ? std::is_same_v<T, unsigned long>
                          : std::is_same_v<T, unsigned long long>;
    case 'c': return longs == 0 && std::is_same_v<T, int>;
    case 's': return longs == 0 && std::is_same_v<T, const char*>;
    default: return false;
  }
}

// Reads the next conversion of `text` from `at` (after "%%" pairs); false when it
// does not take T or there is none.
template <class T>
constexpr bool nextConversionTakes(const char* text, int& at) {
  for (;; ++at) {
    if (text[at] == '\0') return false;
    if (text[at] != '%') continue;
    ++at;
    if (text[at] == '%') continue;
    while (text[at] == '-' || text[at] == '+' || text[at] == ' ' || text[at] == '#' || text[at] == '0') ++at;
    while (text[at] >= '0' && text[at] <= '9') ++at;
    if (text[at] == '.') {
      ++at;
      while (text[at] >= '0' && text[at] <= '9') ++at;
    }
    int longs = 0;
    while (text[at] == 'l') ++longs, ++at;
    const bool takes = longs <= 2 && conversionTakes<T>(text[at], longs);
    ++at;
    return takes;
  }
}

// True when the text has no conversion left from `at`.
constexpr bool noConversionFrom(const char* text, int at) {
  for (; text[at] != '\0'; ++at) {
    if (text[at] != '%') continue;
    if (text[at + 1] != '%') return false;
    ++at;
  }
  return true;
}

template <class... Args>
constexpr bool conversionsTake(const char* text) {
  int at = 0;
  return (nextConversionTakes<Args>(text, at) && ...) && noConversionFrom(text, at);
}

}  // namespace detail

template <class... Args>
struct Message {
  consteval Message(const char* format) : text(format) {
    if (!detail::conversionsTake<Args...>(format)) throw "the conversions of the message do not take its arguments";
  }
  const char* text;
};

// An argument for a conversion that takes `Want`: that type itself, or for a text
// anything that is a C string.
template <class Given, class Want>
concept PassesAs = std::same_as<std::remove_cvref_t<Given>, Want> ||
                   (std::is_pointer_v<Want> && std::convertible_to<Given, Want> && !std::is_null_pointer_v<Given>);

}  // namespace tavex
