// What Tavex reads of a taxpayer's EFD ICMS/IPI (SPED Fiscal) file: its header and
// the blocks that declare the ECFs' movement (C400 ECF, C405 Z reduction, C420
// partial totalizer, C460 coupon). Every other record is passed over unread.
//
// The file is text of lines "|REG|field|...|" (CR LF or LF), ISO-8859-1/cp1252;
// "|9999|n|" ends the text and whatever follows it (a digital signature) is not
// read. Records belong to the last parent line before them. The file is read as a
// stream: memory holds the declared reductions and coupons, nothing per line read.
//
// A record that cannot be read (fields missing, an amount or date not in the EFD's
// form, a child with no parent) is set aside with a problem naming its line; the
// rest of the file is read. Only a file that cannot be opened or read at all, or
// that has no "|0000|" header, is unread (`read` false).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavex {

struct EfdTotalizer {
  int line = 0;
  std::string code;  // COD_TOT_PAR, blanks trimmed (cp1252)
  std::int64_t value = 0;  // centavos
};

struct EfdCoupon {
  int line = 0;
  std::string model;      // COD_MOD
  bool cancelled = false;  // COD_SIT 02 (a cancelled coupon carries no date nor value)
  std::int64_t coo = 0;    // NUM_DOC
  std::string date;        // DT_DOC as AAAAMMDD; empty when not given
  std::int64_t value = 0;  // VL_DOC in centavos (0 when not given)
  bool valueGiven = false;
};

struct EfdReduction {
  int line = 0;
  std::string date;  // DT_DOC as AAAAMMDD
  std::int64_t cro = 0, crz = 0, coo = 0;
  std::int64_t gt = 0, gross = 0;  // GT_FIN, VL_BRT in centavos
  std::vector<EfdTotalizer> totalizers;
  std::vector<EfdCoupon> coupons;
};

struct EfdEcf {
  int line = 0;  // of its C400 (the first one, when the serial is declared twice)
  std::string model, ecfModel, serial, cashRegister;  // COD_MOD, ECF_MOD, ECF_FAB (trimmed), ECF_CX
  std::vector<EfdReduction> reductions;  // in the file's order
};

struct EfdProblem {
  int line = 0;         // 0: the file as a whole
  std::string message;  // cp1252, no final period
};

struct EfdFile {
  std::string path;  // as given
  bool read = false;  // false: `failure` says why nothing of it could be read
  std::string failure;  // cp1252
  std::string start, end;  // DT_INI, DT_FIN as AAAAMMDD
  std::string name, cnpj;  // NOME, CNPJ (cp1252)
  bool closed = false;  // the "|9999|" line was met
  std::vector<EfdEcf> ecfs;  // one per serial, in the order first declared
  std::vector<EfdProblem> problems;  // in line order

  // The ECF declared with `serial` (blanks trimmed), or null.
  const EfdEcf* ecf(const std::string& serial) const;
  // True when AAAAMMDD `date` lies in the file's period.
  bool inPeriod(const std::string& date) const { return !start.empty() && date >= start && date <= end; }
};

// Reads the EFD file at `path`.
EfdFile readEfdFile(const std::string& path);

// True when `path` is a regular file whose first bytes are "|0000|" (an EFD file).
bool looksLikeEfdFile(const std::string& path);

// Reads an EFD amount ("1234,56", "0", "12,5": digits, then a comma and at most two
// decimals) into centavos; false for anything else, or more than fifteen digits.
bool parseEfdAmount(std::string_view text, std::int64_t& cents);
// Reads an EFD date DDMMAAAA of the calendar into AAAAMMDD; empty when it is not one.
std::string parseEfdDate(std::string_view text);

}  // namespace tavex
