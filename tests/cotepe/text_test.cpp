#include "cotepe/text.h"

#include <gtest/gtest.h>
#include <iconv.h>

namespace tavex {
namespace {

TEST(Cp1252Literal, ConvertsAtCompileTime) {
  EXPECT_EQ(std::string("ã"_cp), "\xE3");
  EXPECT_EQ(std::string("é"_cp), "\xE9");
  EXPECT_EQ(std::string("º"_cp), "\xBA");
  EXPECT_EQ(std::string("ü"_cp), "\xFC");
  EXPECT_EQ(std::string("–"_cp), "\x96");
  EXPECT_EQ(std::string("€"_cp), "\x80");
  EXPECT_EQ(std::string("Nº de fabricação"_cp), "N\xBA de fabrica\xE7\xE3o");
}

TEST(Cp1252Conversion, RoundTripsEveryDefinedByte) {
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(utf8ToCp1252(cp1252ToUtf8(all)), all);
}

// The C library's own converter is the reference for every byte cp1252 defines;
// the five bytes it leaves undefined pass through as the C1 controls of their value.
TEST(Cp1252Conversion, AgreesWithIconvOnEveryByte) {
  iconv_t cd = iconv_open("UTF-8", "WINDOWS-1252");
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
  for (int b = 1; b < 256; ++b) {
    char in = static_cast<char>(b);
    char out[8];
    char* inPtr = &in;
    char* outPtr = out;
    std::size_t inLeft = 1, outLeft = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    const bool defined = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1);
    const std::string ours = cp1252ToUtf8(std::string(1, in));
    if (defined) {
      EXPECT_EQ(ours, std::string(out, outPtr)) << "byte " << b;
      EXPECT_EQ(utf8ToCp1252(ours), std::string(1, in)) << "byte " << b;
    } else {
      EXPECT_TRUE(b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D) << "byte " << b;
      EXPECT_EQ(ours, (std::string{static_cast<char>(0xC2), in})) << "byte " << b;
    }
  }
  iconv_close(cd);
  EXPECT_EQ(cp1252ToUtf8("\x9F"), "Ÿ");
  EXPECT_EQ(utf8ToCp1252("Ÿ"), "\x9F");
}

TEST(Cp1252Conversion, ReplacesWhatCp1252CannotHold) {
  EXPECT_EQ(utf8ToCp1252("a\xE4\xB8\xAD" "b"), "a?b");     // a CJK character
  EXPECT_EQ(utf8ToCp1252("x\xFFy"), "x?y");                // not UTF-8 at all
  EXPECT_EQ(utf8ToCp1252("fim\xC3"), "fim?");              // cut in the middle
  EXPECT_EQ(cp1252ToUtf8("\x96"), "\xE2\x80\x93");
}

TEST(CFormat, FollowsTheCLibraryRules) {
  // Formats held in variables, as the message tables hold them.
  const char* type = "E%02.2d";
  const char* coo = "COO:% 06.6d";
  EXPECT_EQ(cformat(type, 5), "E05");
  EXPECT_EQ(cformat(coo, 123), "COO: 000123");
  EXPECT_EQ(cformat("%7.7s|", "F1"), "     F1|");
  EXPECT_EQ(cformat("%.15s", "DINHEIRO        XYZ"), "DINHEIRO       ");
  EXPECT_EQ(cformat("%s", std::string(5000, 'a').c_str()).size(), 5000u);
}

TEST(LeadingInt, StopsAtTheFirstNonDigit) {
  EXPECT_EQ(leadingInt("000123"), 123);
  EXPECT_EQ(leadingInt("  42x"), 42);
  EXPECT_EQ(leadingInt("-7"), -7);
  EXPECT_EQ(leadingInt("x1"), 0);
  EXPECT_EQ(leadingInt(""), 0);
  EXPECT_EQ(leadingInt("999999999999999999"), 999999999999999999LL);
  EXPECT_EQ(leadingInt("99999999999999999999999"), INT64_MAX);
}

TEST(LeadingInt, ShortFieldsAndLongOnesReadAlike) {
  // Fields of up to 18 characters starting with a digit take a shorter road; both
  // roads stop at the first non-digit and only the long one can saturate.
  EXPECT_EQ(leadingInt("12a3"), 12);
  EXPECT_EQ(leadingInt("12345678"), 12345678);
  EXPECT_EQ(leadingInt("87654321x"), 87654321);
  EXPECT_EQ(leadingInt("1234567x90"), 1234567);
  EXPECT_EQ(leadingInt("9999999999999999"), 9999999999999999LL);
  EXPECT_EQ(leadingInt("10203040506070809"), 10203040506070809LL);
  EXPECT_EQ(leadingInt("000000010000000 "), 10000000);
  EXPECT_EQ(leadingInt("0012  "), 12);
  EXPECT_EQ(leadingInt("7"), 7);
  EXPECT_EQ(leadingInt("000000000000000000"), 0);
  EXPECT_EQ(leadingInt("123456789012345678x"), 123456789012345678LL);
  EXPECT_EQ(leadingInt("9223372036854775807"), INT64_MAX);
  EXPECT_EQ(leadingInt("9223372036854775808"), INT64_MAX);
  EXPECT_EQ(leadingInt("-9223372036854775809"), INT64_MIN);
  EXPECT_EQ(leadingInt("+15"), 15);
  EXPECT_EQ(leadingInt("\t8"), 8);
}

TEST(LeadingInt, AgreesWithDigitByDigitReading) {
  // Texts of digits with at most one other character somewhere, every length up
  // to 18 and past it, read against the rule applied one digit at a time.
  const auto reference = [](std::string_view text) {
    std::int64_t value = 0;
    for (std::size_t i = 0; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) value = value * 10 + (text[i] - '0');
    return value;
  };
  std::uint32_t seed = 12345;
  const auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
  for (int round = 0; round < 20000; ++round) {
    const std::size_t length = 1 + next() % 18;
    std::string text;
    for (std::size_t i = 0; i < length; ++i) text.push_back(static_cast<char>('0' + next() % 10));
    if (next() % 2 == 0) text[next() % length] = "x :/\x80"[next() % 5];
    if (text[0] < '0' || text[0] > '9') text[0] = '5';
    ASSERT_EQ(leadingInt(text), reference(text)) << text;
  }
}

TEST(IsAllDigits, EveryPositionAndEveryByteIsExamined) {
  EXPECT_TRUE(isAllDigits(""));
  EXPECT_TRUE(isAllDigits("0123456789012345678"));
  // One foreign byte at each position of texts that span the eight-byte steps and the tail.
  for (std::size_t length = 1; length <= 19; ++length) {
    for (std::size_t at = 0; at < length; ++at) {
      for (const int byte : {0x00, 0x20, 0x2F, 0x3A, 0x41, 0x7F, 0x80, 0xB0, 0xB9, 0xBA, 0xFF}) {
        std::string text(length, '9');
        text[at] = static_cast<char>(byte);
        EXPECT_FALSE(isAllDigits(text)) << "length " << length << ", byte " << byte << " at " << at;
      }
    }
  }
  // Digits around a byte that borrows or carries into its neighbours.
  EXPECT_FALSE(isAllDigits(std::string("0000000\x2F", 8)));
  EXPECT_FALSE(isAllDigits(std::string("\xFF" "0000000", 8)));
}

TEST(SliceField, NeverReadsPastTheLine) {
  EXPECT_EQ(sliceField("abcdef", 2, 3), "bcd");
  EXPECT_EQ(sliceField("abcdef", 5, 10), "ef");
  EXPECT_EQ(sliceField("abc", 4, 2), "");
  EXPECT_EQ(sliceField("abc", 0, 2), "");
}

TEST(TrimRight, RemovesBlanksAndLineFeeds) {
  EXPECT_EQ(trimRight("abc  \n "), "abc");
  EXPECT_EQ(trimRight("   "), "");
  EXPECT_EQ(trimRight(" a\tb "), " a\tb");
}

}  // namespace
}  // namespace tavex

namespace tavex {
namespace {

TEST(VisibleText, MarksControlsAndEveryByteThatIsNotUtf8) {
  EXPECT_EQ(visibleText("caf\xc3\xa9 \xe2\x82\xac.txt"), "caf\xc3\xa9 \xe2\x82\xac.txt");  // UTF-8 as it is
  EXPECT_EQ(visibleText("a\x1b[2Jb\x7f"), "a\\x1B[2Jb\\x7F");
  EXPECT_EQ(visibleText(std::string("a\0b\r\n", 5)), "a\\x00b\\x0D\\x0A");
  EXPECT_EQ(visibleText("\xc2\x9b" "1m"), "\\x9B1m");           // C1 control, the terminal's CSI
  EXPECT_EQ(visibleText("x\xe9y"), "x\\xE9y");                   // a Latin-1 byte
  EXPECT_EQ(visibleText("\xc0\xaf\xe0\x80\xaf"), "\\xC0\\xAF\\xE0\\x80\\xAF");  // overlong forms
  EXPECT_EQ(visibleText("\xed\xa0\x80"), "\\xED\\xA0\\x80");     // a surrogate
  EXPECT_EQ(visibleText("\xf4\x90\x80\x80"), "\\xF4\\x90\\x80\\x80");  // past U+10FFFF
  EXPECT_EQ(visibleText("ab\xe2\x82"), "ab\\xE2\\x82");          // cut at the end
  EXPECT_EQ(visibleText("\xf0\x9f\x98\x80"), "\xf0\x9f\x98\x80");  // four bytes, well formed
}

TEST(VisibleText, AnyBytesBecomeValidUtf8WithoutControls) {
  std::string every;
  for (int b = 0; b < 256; ++b) every += static_cast<char>(b);
  for (int b = 0; b < 256; ++b) every += "\xc3" + std::string(1, static_cast<char>(b));
  EXPECT_FALSE(isValidUtf8(every));
  const std::string shown = visibleText(every);
  EXPECT_TRUE(isValidUtf8(shown));
  for (const char c : shown) EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 || c == 0x7f) << shown;
  EXPECT_EQ(shown.find("\xc2\x80"), std::string::npos);
}

}  // namespace
}  // namespace tavex
