#include "cotepe/text.h"
#include "cotepe/visible_name.h"

#include <cstdarg>
#include <cstdio>
#include <limits>

namespace tavex {

std::string utf8ToCp1252(std::string_view utf8, char replacement) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const int b = detail::cp1252ByteOf(detail::decodeUtf8(utf8, i));
    out.push_back(b < 0 ? replacement : static_cast<char>(b));
  }
  return out;
}

std::string cp1252ToUtf8(std::string_view cp1252) {
  std::string out;
  out.reserve(cp1252.size() + cp1252.size() / 8);
  for (char c : cp1252) {
    const auto b = static_cast<unsigned char>(c);
    char32_t cp = b;
    if (b >= 0x80 && b < 0xA0 && detail::kCp1252High[b - 0x80] != 0) cp = detail::kCp1252High[b - 0x80];
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

std::string countOf(long long n, const char* one, const char* many) { return cformat("%lld %s", n, n == 1 ? one : many); }

std::string cformat(const char* format, ...) {
  char small[512];
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  if (n < 0) {
    va_end(again);
    return {};
  }
  if (static_cast<std::size_t>(n) < sizeof small) {
    va_end(again);
    return std::string(small, static_cast<std::size_t>(n));
  }
  std::string out(static_cast<std::size_t>(n) + 1, '\0');
  std::vsnprintf(out.data(), out.size(), format, again);
  va_end(again);
  out.resize(static_cast<std::size_t>(n));
  return out;
}

std::int64_t detail::leadingIntGeneral(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
  constexpr std::int64_t kLimit = kMax / 10;  // one more digit overflows beyond this
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const int digit = text[i] - '0';
    if (value >= kLimit && (value > kLimit || digit > kMax % 10))
      return negative ? std::numeric_limits<std::int64_t>::min() : kMax;
    value = value * 10 + digit;
  }
  return negative ? -value : value;
}

std::string_view trimRight(std::string_view text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\n')) text.remove_suffix(1);
  return text;
}

std::size_t utf8SequenceLength(std::string_view s, std::size_t i) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80) return 1;
  const std::size_t n = b0 >= 0xC2 && b0 <= 0xDF ? 2 : b0 >= 0xE0 && b0 <= 0xEF ? 3 : b0 >= 0xF0 && b0 <= 0xF4 ? 4 : 0;
  if (n == 0 || s.size() - i < n) return 0;
  const auto b1 = static_cast<unsigned char>(s[i + 1]);
  // The second byte's range closes off overlong forms, surrogates and values past U+10FFFF.
  const unsigned char low = b0 == 0xE0 ? 0xA0 : b0 == 0xF0 ? 0x90 : 0x80;
  const unsigned char high = b0 == 0xED ? 0x9F : b0 == 0xF4 ? 0x8F : 0xBF;
  if (b1 < low || b1 > high) return 0;
  for (std::size_t k = 2; k < n; ++k)
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
  return n;
}

bool isValidUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t n = utf8SequenceLength(s, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::string visibleText(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  forEachVisible(
      utf8, [&](std::string_view text) { out += text; }, [&](unsigned char b) { out += cformat("\\x%02X", b); });
  return out;
}

std::string visibleCp1252(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  const auto byValue = [&out](unsigned char b) { out += cformat("\\x%02X", b); };
  forEachVisible(
      utf8,
      [&](std::string_view run) {
        for (std::size_t i = 0; i < run.size();) {
          if (static_cast<unsigned char>(run[i]) < 0x80) {
            out += run[i++];
            continue;
          }
          const std::size_t n = utf8SequenceLength(run, i);  // the run is well-formed
          const std::string_view character = run.substr(i, n);
          const std::string converted = utf8ToCp1252(character, '\0');  // no character of a run gives NUL
          if (converted != std::string(1, '\0'))
            out += converted;
          else
            for (const char b : character) byValue(static_cast<unsigned char>(b));
          i += n;
        }
      },
      byValue);
  return out;
}

}  // namespace tavex
