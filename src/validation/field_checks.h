// Checks on single field values shared by every record check: the validity of
// dates, times, CNPJ/CPF numbers, versions and State registrations. All are pure
// functions of their text; the reporting checks (checkFieldFormat,
// checkEcfIdentity) live with the run in record_check.h.
#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace tavex {

// True when the first character is a blank or '0' and all `width` characters equal it.
// A text shorter than `width` (or empty) is not blank: it lacks characters to compare.
bool isBlankOrZero(std::string_view text, std::size_t width);

// (every character is a blank or '0', position of the first other character or npos).
std::pair<bool, std::size_t> scanBlankOrZero(std::string_view text);

// True when every character equals the first (texts of 0 or 1 characters: true).
bool isAllSameChar(std::string_view text);

bool isLeapYear(int year);
int daysInMonth(int month, int year);

// AAAAMMDD of exactly 8 characters, 1 <= month <= 12, 1 <= day <= days of the month,
// year >= 1 and year >= minimumYear. Parts are read by the leading-digits rule.
bool isValidDate(std::string_view date, int minimumYear);

// HHMMSS: exactly 6 digits, hours <= 23, minutes and seconds <= 59.
bool isValidTime(std::string_view time);

// Calendar comparison of two AAAAMMDD dates with B moved by `days`:
// days < 1: A is earlier than B + days; days >= 1: A is later than B + days.
bool compareDates(std::string_view dateA, std::string_view dateB, int days);

// The text's base (first 9 characters of an 11-character text, first 12 otherwise)
// followed by its two modulus-11 check digits.
std::string cnpjCheckDigits(std::string_view text);

// A 14-character CNPJ, an 11-character CPF, or a CPF padded with "000" on either side
// of a 14-character field. Never one repeated character; never longer than 14.
bool isValidCnpjOrCpf(std::string_view text);

// NN.NN.NN at the start of the text (what follows the 8th character is not examined).
bool isVersionFormat(std::string_view text);

// False when the text holds '-', '.', '/' or a backslash.
bool hasNoEditMask(std::string_view text);

}  // namespace tavex
