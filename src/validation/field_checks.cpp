#include "validation/field_checks.h"

#include "cotepe/text.h"

namespace tavex {

namespace {


// Days since 1970-01-01 of a proleptic Gregorian date (month 1..12).
long long daysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

// The calendar day of an AAAAMMDD text, out-of-range months and days carried over
// the way the C library's calendar normalisation does.
long long dayNumber(std::string_view date) {
  const long long year = leadingInt(sliceField(date, 1, 4));
  const long long month = leadingInt(sliceField(date, 5, 2));
  const long long day = leadingInt(sliceField(date, 7, 2));
  long long m0 = month - 1;
  long long y = year + (m0 >= 0 ? m0 / 12 : (m0 - 11) / 12);
  m0 -= (y - year) * 12;
  return daysFromCivil(y, static_cast<unsigned>(m0 + 1), 1) + day - 1;
}

bool isValidCnpjOf(std::string_view text) {
  return !isAllSameChar(text) && cnpjCheckDigits(text) == text;
}

}  // namespace

bool isBlankOrZero(std::string_view text, std::size_t width) {
  // A shorter text (the "0" that stands for a value that failed its format) lacks
  // characters to compare, so it is not blank: its content check still runs.
  if (text.empty() || text.size() < width || (text[0] != ' ' && text[0] != '0')) return false;
  for (std::size_t i = 1; i < width; ++i)
    if (text[i] != text[0]) return false;
  return true;
}

std::pair<bool, std::size_t> scanBlankOrZero(std::string_view text) {
  const std::size_t other = text.find_first_not_of(" 0");
  return {other == std::string_view::npos, other};
}

bool isAllSameChar(std::string_view text) {
  for (char c : text)
    if (c != text[0]) return false;
  return true;
}

bool isLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int daysInMonth(int month, int year) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

bool isValidDate(std::string_view date, int minimumYear) {
  if (date.size() != 8) return false;
  const auto year = static_cast<int>(leadingInt(date.substr(0, 4)));
  const auto month = static_cast<int>(leadingInt(date.substr(4, 2)));
  const auto day = static_cast<int>(leadingInt(date.substr(6, 2)));
  return month >= 1 && month <= 12 && day >= 1 && day <= daysInMonth(month, year) && year >= 1 &&
         year >= minimumYear;
}

bool isValidTime(std::string_view time) {
  if (time.size() != 6) return false;
  if (!isAllDigits(time)) return false;
  const int hours = (time[0] - '0') * 10 + (time[1] - '0');
  const int minutes = (time[2] - '0') * 10 + (time[3] - '0');
  const int seconds = (time[4] - '0') * 10 + (time[5] - '0');
  return hours <= 23 && minutes <= 59 && seconds <= 59;
}

bool compareDates(std::string_view dateA, std::string_view dateB, int days) {
  const long long a = dayNumber(dateA);
  const long long b = dayNumber(dateB) + days;
  return days < 1 ? a < b : a > b;
}

std::string cnpjCheckDigits(std::string_view text) {
  const bool cpf = text.size() == 11;
  std::string work(text.substr(0, cpf ? 9 : 12));
  for (int pass = 0; pass < 2; ++pass) {
    long sum = 0;
    int weight = 2;
    for (auto it = work.rbegin(); it != work.rend(); ++it) {
      sum += weight * (*it - '0');
      ++weight;
      if (!cpf && weight > 9) weight = 2;
    }
    const long r = sum % 11;
    work.push_back(static_cast<char>('0' + (r < 2 ? 0 : 11 - r)));
  }
  return work;
}

bool isValidCnpjOrCpf(std::string_view text) {
  if (text.size() > 14 || isAllSameChar(text)) return false;
  if (text.size() == 14 && isValidCnpjOf(text)) return true;
  if (text.size() == 11) return isValidCnpjOf(text);
  if (text.size() != 14) return false;
  if (text.substr(0, 3) == "000") return isValidCnpjOf(text.substr(3, 11));
  if (text.substr(11, 3) == "000") return isValidCnpjOf(text.substr(0, 11));
  return false;
}

bool isVersionFormat(std::string_view text) {
  if (text.size() < 8) return false;
  return text[2] == '.' && text[5] == '.' && isDigit(text[0]) && isDigit(text[1]) && isDigit(text[3]) &&
         isDigit(text[4]) && isDigit(text[6]) && isDigit(text[7]);
}

bool hasNoEditMask(std::string_view text) { return text.find_first_of("-./\\") == std::string_view::npos; }

}  // namespace tavex
