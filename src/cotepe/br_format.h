// The Brazilian ways of writing amounts and dates that reports, tables and
// messages share, and the small questions several commands ask of a file: is a
// text all digits (cotepe/text.h's isAllDigits), what is its SHA-256, does it end
// in an EAD record.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tavex {

// Thousands separated by dots: 0 -> "0", 1234567 -> "1.234.567".
std::string groupedThousands(std::uint64_t n);

// An amount in centavos as reais: 123456 -> "1.234,56", -5 -> "-0,05" (the most
// negative value too).
std::string brazilianMoney(std::int64_t cents);

// AAAAMMDD as DD/MM/AAAA; nothing unless the text is eight digits (the calendar
// is not checked: "20241399" gives "99/13/2024").
std::optional<std::string> brazilianDate(std::string_view yyyymmdd);

// Where the last record of `tail`, the end of a file, begins when that record is
// an EAD record; nothing otherwise. Line ends and blanks after the last record are
// passed over. `startsFile` says that `tail` is the whole file, so that a tail
// without any line feed is one line rather than the cut end of a longer one.
std::optional<std::size_t> eadRecordStart(std::string_view tail, bool startsFile);

// How much of a file's end eadRecordStart needs to see: an EAD line (259
// characters) with room to spare for line ends and blanks after it.
inline constexpr std::size_t kEadTailBytes = 4096;

// SHA-256 fed piece by piece.
class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;
  void add(const void* bytes, std::size_t count);
  std::array<unsigned char, 32> digest();  // ends the hash
  std::string hex();                       // ends the hash: 64 lower-case hexadecimal digits

 private:
  struct State;
  std::unique_ptr<State> state_;
};

std::array<unsigned char, 32> sha256Of(std::string_view bytes);

// The SHA-256 of a file's contents in lower-case hexadecimal; nothing when it
// cannot be opened or read to the end.
std::optional<std::string> sha256HexOfFile(const std::string& path);

}  // namespace tavex
