// cp1252 text: compile-time message literals, conversions at the boundaries,
// printf-style formatting into std::string, and the small text rules every
// COTEPE reader shares (leading-digits integers, bounds-checked slicing).
//
// The core keeps every text as std::string / std::string_view of cp1252 bytes.
// Sources are UTF-8; "..."_cp turns a UTF-8 literal into a NUL-terminated cp1252
// literal at compile time (a character cp1252 cannot hold does not compile).
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tavex {

namespace detail {

// Unicode code points of the cp1252 bytes 0x80..0x9F (0 where the byte is undefined).
inline constexpr char32_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The cp1252 byte of a code point, or -1 when cp1252 has none.
constexpr int cp1252ByteOf(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  if (cp >= 0x80 && cp < 0xA0 && kCp1252High[cp - 0x80] == 0) return static_cast<int>(cp);  // undefined bytes
  for (int i = 0; i < 32; ++i)
    if (kCp1252High[i] != 0 && kCp1252High[i] == cp) return 0x80 + i;
  return -1;
}

// Decodes one UTF-8 sequence at s[i]; returns the code point and advances i.
// Returns U+FFFD (and advances one byte) on a malformed sequence.
constexpr char32_t decodeUtf8(std::string_view s, std::size_t& i) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  const int extra = (b0 >> 5) == 0x6 ? 1 : (b0 >> 4) == 0xE ? 2 : (b0 >> 3) == 0x1E ? 3 : -1;
  if (extra < 0 || i + static_cast<std::size_t>(extra) >= s.size()) {
    ++i;
    return 0xFFFD;
  }
  char32_t cp = b0 & (0x3F >> extra);
  for (int k = 1; k <= extra; ++k) {
    const auto b = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
    if ((b & 0xC0) != 0x80) {
      ++i;
      return 0xFFFD;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  i += static_cast<std::size_t>(extra) + 1;
  return cp;
}

template <std::size_t N>
struct Utf8Literal {
  char chars[N]{};
  consteval Utf8Literal(const char (&s)[N]) {
    for (std::size_t i = 0; i < N; ++i) chars[i] = s[i];
  }
  constexpr std::string_view view() const { return {chars, N - 1}; }
};

template <std::size_t N>
struct Cp1252Bytes {
  char bytes[N]{};
};

template <Utf8Literal S>
consteval std::size_t cp1252LengthOf() {
  std::size_t n = 0;
  for (std::size_t i = 0; i < S.view().size(); ++n) decodeUtf8(S.view(), i);
  return n;
}

template <Utf8Literal S>
consteval auto toCp1252() {
  Cp1252Bytes<cp1252LengthOf<S>() + 1> out{};
  std::size_t n = 0;
  for (std::size_t i = 0; i < S.view().size();) {
    const int b = cp1252ByteOf(decodeUtf8(S.view(), i));
    if (b < 0) throw "character outside cp1252 in a _cp literal";
    out.bytes[n++] = static_cast<char>(b);
  }
  return out;
}

template <Utf8Literal S>
inline constexpr auto kCp1252Literal = toCp1252<S>();

}  // namespace detail

// "Número"_cp: the NUL-terminated cp1252 bytes of a UTF-8 literal, in static storage.
template <detail::Utf8Literal S>
consteval const char* operator""_cp() {
  return detail::kCp1252Literal<S>.bytes;
}

// UTF-8 -> cp1252; characters cp1252 cannot hold (and malformed bytes) become `replacement`.
std::string utf8ToCp1252(std::string_view utf8, char replacement = '?');
// cp1252 -> UTF-8; the five undefined bytes map to the C1 control of the same value.
std::string cp1252ToUtf8(std::string_view cp1252);

// printf into a std::string, with the C library's formatting rules (the formats are
// part of the output: "%02.2d", "% 06.6d", "%.15s" ...).
#ifdef _WIN32
std::string cformat(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));  // the C99 printf
#else
std::string cformat(const char* format, ...) __attribute__((format(printf, 1, 2)));
#endif

// "1 erro", "0 erros", "2 erros": the count and the word that agrees with it.
std::string countOf(long long n, const char* one, const char* many);

namespace detail {
std::int64_t leadingIntGeneral(std::string_view text);
}

// The leading-digits rule: leading white space skipped, an optional sign, then decimal
// digits up to the first other character; no digits gives 0. Saturates at the int64
// limits instead of overflowing.
namespace detail {
// The word reads below load eight characters into a 64-bit word and take the
// first character as its lowest byte.
static_assert(std::endian::native == std::endian::little, "the word reads need a little-endian machine");

// True when the eight characters of `word` are all decimal digits: a byte is a
// digit when neither subtracting '0' nor adding 0x46 sets its top bit. A borrow or
// carry from a failing byte can only mark the bytes above it, so the lowest
// failing byte always shows, which is all the answer needs.
inline bool allDigitsWord(std::uint64_t word) {
  return (((word - 0x3030303030303030u) | (word + 0x4646464646464646u)) & 0x8080808080808080u) == 0;
}
// The number that eight digit values spell, the first one in the lowest byte.
inline std::uint64_t digitWordValue(std::uint64_t word) {
  word = (word * 10) + (word >> 8);  // pairs: 10a+b in every other byte
  return (((word & 0x000000FF000000FFu) * (100 + (1000000ull << 32))) +
          (((word >> 16) & 0x000000FF000000FFu) * (1 + (10000ull << 32)))) >> 32;
}
}  // namespace detail

inline std::int64_t leadingInt(std::string_view text) {
  // Inline for the usual field, digits from its first character: 18 digits never
  // overflow. Eight digits at a time while they last.
  if (text.empty() || text.size() > 18 || static_cast<unsigned char>(text[0] - '0') > 9)
    return detail::leadingIntGeneral(text);
  std::int64_t value = 0;
  std::size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    std::uint64_t word;
    __builtin_memcpy(&word, text.data() + i, 8);
    if (!detail::allDigitsWord(word)) break;
    value = value * 100000000 + static_cast<std::int64_t>(detail::digitWordValue(word - 0x3030303030303030u));
  }
  if (i < text.size() && i + 8 > text.size() && text.size() >= 8) {
    // Fewer than eight left after whole words: read the text's last eight characters
    // and drop those already counted (they become leading zeros).
    const std::size_t rest = text.size() - i;
    std::uint64_t word;
    __builtin_memcpy(&word, text.data() + text.size() - 8, 8);
    if (detail::allDigitsWord(word)) {
      constexpr std::int64_t kScale[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};
      word = (word - 0x3030303030303030u) & (~std::uint64_t{0} << (8 * (8 - rest)));  // first characters lowest
      return value * kScale[rest & 7] + static_cast<std::int64_t>(detail::digitWordValue(word));  // rest: 1..7
    }
  }
  for (; i < text.size(); ++i) {
    const auto digit = static_cast<unsigned char>(text[i] - '0');
    if (digit > 9) break;
    value = value * 10 + digit;
  }
  return value;
}

// The characters [start, start + width) of `line` (start 1-based), cut to what the line
// holds: a field beyond the end of a short line is shorter or empty, never an overrun.
inline std::string_view sliceField(std::string_view line, int start, int width) {
  const auto from = static_cast<std::size_t>(start - 1);
  if (start < 1 || from >= line.size() || width <= 0) return {};
  return line.substr(from, static_cast<std::size_t>(width));
}

// True for '0' to '9'.
constexpr bool isDigit(char c) { return c >= '0' && c <= '9'; }

// True when every character is a decimal digit (an empty text too).
inline bool isAllDigits(std::string_view text) {
  std::size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {  // eight characters at a time
    std::uint64_t word;
    __builtin_memcpy(&word, text.data() + i, 8);
    if (!detail::allDigitsWord(word)) return false;
  }
  for (; i < text.size(); ++i)
    if (static_cast<unsigned char>(text[i] - '0') > 9) return false;
  return true;
}

// Removes trailing blanks and line feeds.
std::string_view trimRight(std::string_view text);

// The length of the well-formed UTF-8 sequence at s[i] (1 to 4), or 0 when the byte
// there begins none (a stray continuation byte, a cut or overlong sequence, a
// surrogate, a value past U+10FFFF).
std::size_t utf8SequenceLength(std::string_view s, std::size_t i);
// True when the whole text is well-formed UTF-8.
bool isValidUtf8(std::string_view s);

// Shows a text meant as UTF-8 (a file name, a name read from a file) without letting
// anything act on a terminal or a page: `shown` receives each run of printable
// characters as they are, `marked` each byte that must be shown by its value, which
// is a control character (below 0x20, 0x7F, or U+0080..U+009F, given by its code)
// or a byte that is not part of well-formed UTF-8.
template <typename Shown, typename Marked>
void forEachVisible(std::string_view utf8, Shown&& shown, Marked&& marked) {
  std::size_t run = 0;  // where the printable run being gathered starts
  for (std::size_t i = 0; i < utf8.size();) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    const std::size_t n = utf8SequenceLength(utf8, i);
    const bool c1 = n == 2 && b == 0xC2 && static_cast<unsigned char>(utf8[i + 1]) < 0xA0;
    if (n != 0 && b >= 0x20 && b != 0x7F && !c1) {
      i += n;
      continue;
    }
    if (i > run) shown(utf8.substr(run, i - run));
    marked(c1 ? static_cast<unsigned char>(utf8[i + 1]) : b);
    i += c1 ? 2 : 1;
    run = i;
  }
  if (utf8.size() > run) shown(utf8.substr(run));
}

// The text as forEachVisible splits it, every marked byte written "\xHH": what the
// terminal, CSV and JSON show of a name.
std::string visibleText(std::string_view utf8);

}  // namespace tavex
