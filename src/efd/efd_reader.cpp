#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

#include "cotepe/file_access.h"
#include "cotepe/text.h"
#include "efd/efd_file.h"

namespace tavex {

namespace {

// A line of a record Tavex reads is short; one longer than this is no such record.
constexpr std::size_t kLongestRead = 64 * 1024;
constexpr std::size_t kChunk = 1 << 20;

bool isLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

// The fields of a line "|A|B|...|" without its bars: A, B, ...; nothing when the
// line does not begin and end with a bar.
bool splitFields(std::string_view line, std::vector<std::string_view>& out) {
  out.clear();
  if (line.size() < 2 || line.front() != '|' || line.back() != '|') return false;
  std::size_t start = 1;
  while (start < line.size()) {
    const std::size_t bar = line.find('|', start);
    out.push_back(line.substr(start, bar - start));
    start = bar + 1;
  }
  return true;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

bool parseCount(std::string_view text, std::int64_t& value) {
  if (text.empty() || text.size() > 15 || !isAllDigits(text)) return false;
  value = 0;
  for (char c : text) value = value * 10 + (c - '0');
  return true;
}

class Reader {
 public:
  explicit Reader(EfdFile& out) : out_(out) {}

  // One line without its line end. False once "|9999|" ended the text.
  bool line(std::string_view text, int number) {
    number_ = number;
    if (number == 1) {
      if (text.substr(0, 6) != "|0000|") {
        out_.failure = "a primeira linha não é o registro 0000 de uma EFD ICMS/IPI"_cp;
        return false;
      }
      header(text);
      return true;
    }
    if (text.size() < 6 || text[0] != '|') return true;
    if (text.substr(0, 6) == "|9999|") {
      out_.closed = true;
      return false;
    }
    if (text[1] != 'C' || text[2] != '4') {
      closeBlock();
      return true;
    }
    const std::string_view reg = text.substr(1, 4);
    if (reg == "C400") {
      ecf(text);
    } else if (reg == "C405") {
      reduction(text);
    } else if (reg == "C420") {
      totalizer(text);
    } else if (reg == "C460") {
      coupon(text);
    } else if (reg == "C490") {
      reduction_ = nullptr;  // a child of the C400: the reduction's block has ended
      couponParentMissing_ = false;
    }
    return true;
  }

  // A line too long to be a record Tavex reads.
  void tooLong(std::string_view head, int number) {
    number_ = number;
    if (head.size() >= 6 && head[0] == '|' && head[1] == 'C' && head[2] == '4' &&
        (head.substr(1, 4) == "C400" || head.substr(1, 4) == "C405" || head.substr(1, 4) == "C420" ||
         head.substr(1, 4) == "C460"))
      problem(cformat("registro %.4s longo demais (mais de %zu bytes): ignorado", head.data() + 1, kLongestRead));
  }

 private:
  void problem(std::string message) { out_.problems.push_back({number_, std::move(message)}); }

  bool fields(std::string_view text, std::size_t wanted, const char* reg) {
    if (!splitFields(text, fields_)) {
      problem(cformat("registro %s sem a barra final: ignorado", reg));
      return false;
    }
    if (fields_.size() != wanted) {
      problem(cformat("registro %s com %zu campos, esperados %zu: ignorado", reg, fields_.size() - 1, wanted - 1));
      return false;
    }
    return true;
  }

  bool amount(std::size_t i, const char* name, const char* reg, std::int64_t& cents) {
    if (parseEfdAmount(fields_[i], cents)) return true;
    problem(cformat("registro %s: valor %s \"%s\" inválido: ignorado"_cp, reg, name,
                    std::string(fields_[i].substr(0, 40)).c_str()));
    return false;
  }
  bool count(std::size_t i, const char* name, const char* reg, std::int64_t& value) {
    if (parseCount(fields_[i], value)) return true;
    problem(cformat("registro %s: %s \"%s\" não é um número: ignorado"_cp, reg, name,
                    std::string(fields_[i].substr(0, 40)).c_str()));
    return false;
  }
  bool date(std::size_t i, const char* name, const char* reg, std::string& value) {
    value = parseEfdDate(fields_[i]);
    if (!value.empty()) return true;
    problem(cformat("registro %s: data %s \"%s\" inválida: ignorado"_cp, reg, name,
                    std::string(fields_[i].substr(0, 40)).c_str()));
    return false;
  }

  void header(std::string_view text) {
    out_.read = true;
    if (!splitFields(text, fields_) || fields_.size() < 7) {
      problem("registro 0000 incompleto: o período e o contribuinte não foram lidos"_cp);
      return;
    }
    std::string start, end;
    if (!date(3, "DT_INI", "0000", start) || !date(4, "DT_FIN", "0000", end)) return;
    if (start > end) {
      problem("registro 0000: DT_INI posterior a DT_FIN; o período não foi lido"_cp);
      return;
    }
    out_.start = start;
    out_.end = end;
    out_.name = std::string(trim(fields_[5]));
    out_.cnpj = std::string(trim(fields_[6]));
  }

  void closeBlock() {
    ecf_ = nullptr;
    reduction_ = nullptr;
    reductionParentMissing_ = couponParentMissing_ = false;
  }

  void ecf(std::string_view text) {
    closeBlock();
    if (!fields(text, 5, "C400")) {
      reductionParentMissing_ = true;  // its reductions have no ECF to belong to: set aside quietly
      return;
    }
    const std::string serial(trim(fields_[3]));
    if (serial.empty()) {
      problem("registro C400 sem número de fabricação (ECF_FAB): ignorado"_cp);
      reductionParentMissing_ = true;
      return;
    }
    for (EfdEcf& e : out_.ecfs)
      if (e.serial == serial) ecf_ = &e;
    if (ecf_ == nullptr) {
      EfdEcf& e = out_.ecfs.emplace_back();
      e.line = number_;
      e.model = std::string(trim(fields_[1]));
      e.ecfModel = std::string(trim(fields_[2]));
      e.serial = serial;
      e.cashRegister = std::string(trim(fields_[4]));
      ecf_ = &e;
    }
  }

  void reduction(std::string_view text) {
    reduction_ = nullptr;
    couponParentMissing_ = true;
    if (ecf_ == nullptr) {
      if (!reductionParentMissing_) problem("registro C405 antes de qualquer C400: ignorado"_cp);
      return;
    }
    if (!fields(text, 7, "C405")) return;
    EfdReduction r;
    r.line = number_;
    if (!date(1, "DT_DOC", "C405", r.date) || !count(2, "CRO", "C405", r.cro) || !count(3, "CRZ", "C405", r.crz) ||
        !count(4, "NUM_COO_FIN", "C405", r.coo) || !amount(5, "GT_FIN", "C405", r.gt) ||
        !amount(6, "VL_BRT", "C405", r.gross))
      return;
    ecf_->reductions.push_back(std::move(r));
    reduction_ = &ecf_->reductions.back();
    couponParentMissing_ = false;
  }

  bool parentOfChild(const char* reg) {
    if (reduction_ != nullptr) return true;
    // The children of a reduction set aside go with it, unsaid; others have no parent at all.
    if (!couponParentMissing_ && !reductionParentMissing_)
      problem(cformat("registro %s antes de qualquer C405: ignorado", reg));
    return false;
  }

  void totalizer(std::string_view text) {
    if (!parentOfChild("C420") || !fields(text, 5, "C420")) return;
    EfdTotalizer t;
    t.line = number_;
    t.code = std::string(trim(fields_[1]));
    if (t.code.empty()) {
      problem("registro C420 sem código de totalizador (COD_TOT_PAR): ignorado"_cp);
      return;
    }
    if (!amount(2, "VLR_ACUM_TOT", "C420", t.value)) return;
    reduction_->totalizers.push_back(std::move(t));
  }

  void coupon(std::string_view text) {
    if (!parentOfChild("C460") || !fields(text, 10, "C460")) return;
    EfdCoupon c;
    c.line = number_;
    c.model = std::string(trim(fields_[1]));
    const std::string_view situation = fields_[2];
    if (situation != "00" && situation != "02") {
      problem(cformat("registro C460: situação (COD_SIT) \"%s\" não lida (00 regular, 02 cancelado): ignorado"_cp,
                      std::string(situation.substr(0, 8)).c_str()));
      return;
    }
    c.cancelled = situation == "02";
    if (!count(3, "NUM_DOC", "C460", c.coo)) return;
    if (!fields_[4].empty() && !date(4, "DT_DOC", "C460", c.date)) return;
    if (!fields_[5].empty()) {
      if (!amount(5, "VL_DOC", "C460", c.value)) return;
      c.valueGiven = true;
    }
    reduction_->coupons.push_back(std::move(c));
  }

  EfdFile& out_;
  int number_ = 0;
  std::vector<std::string_view> fields_;
  EfdEcf* ecf_ = nullptr;
  EfdReduction* reduction_ = nullptr;
  bool reductionParentMissing_ = false;  // the current C400 was set aside
  bool couponParentMissing_ = false;     // the current C405 was set aside
};

}  // namespace

bool parseEfdAmount(std::string_view text, std::int64_t& cents) {
  const std::size_t comma = text.find(',');
  const std::string_view whole = text.substr(0, comma);
  const std::string_view part = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
  if (whole.empty() || whole.size() > 15 || !isAllDigits(whole)) return false;
  if (comma != std::string_view::npos && (part.empty() || part.size() > 2 || !isAllDigits(part))) return false;
  std::int64_t value = 0;
  for (char c : whole) value = value * 10 + (c - '0');
  std::int64_t decimals = 0;
  for (std::size_t i = 0; i < 2; ++i) decimals = decimals * 10 + (i < part.size() ? part[i] - '0' : 0);
  cents = value * 100 + decimals;
  return true;
}

std::string parseEfdDate(std::string_view text) {
  if (text.size() != 8 || !isAllDigits(text)) return {};
  const int day = (text[0] - '0') * 10 + (text[1] - '0');
  const int month = (text[2] - '0') * 10 + (text[3] - '0');
  const int year = std::stoi(std::string(text.substr(4)));
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1900 || month < 1 || month > 12 || day < 1) return {};
  if (day > kDays[month - 1] + (month == 2 && isLeap(year) ? 1 : 0)) return {};
  return std::string(text.substr(4)) + std::string(text.substr(2, 2)) + std::string(text.substr(0, 2));
}

const EfdEcf* EfdFile::ecf(const std::string& serial) const {
  for (const EfdEcf& e : ecfs)
    if (e.serial == serial) return &e;
  return nullptr;
}

EfdFile readEfdFile(const std::string& path) {
  EfdFile out;
  out.path = path;
  const InputFile input = openInputFile(path);
  if (input.fd < 0) {
    out.failure = input.notRegular ? std::string("não é um arquivo regular"_cp) : systemReason(errno);
    return out;
  }
  Reader reader(out);
  std::string carry;       // the start of a line cut by the end of a chunk
  bool skipping = false;   // the rest of an over-long line is passed over
  std::string chunk(kChunk, '\0');
  int number = 0;
  bool going = true;
  int readError = 0;
  const auto take = [&](std::string_view line) {
    if (line.size() > kLongestRead) {
      reader.tooLong(line, ++number);
      if (number == 1) {
        out.failure = "a primeira linha não é o registro 0000 de uma EFD ICMS/IPI"_cp;
        going = false;
      }
      return;
    }
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    going = reader.line(line, ++number);
  };
  while (going) {
    const ssize_t n = ::read(input.fd, chunk.data(), chunk.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      readError = errno;
      break;
    }
    if (n == 0) break;
    std::string_view rest(chunk.data(), static_cast<std::size_t>(n));
    while (going && !rest.empty()) {
      const void* lf = std::memchr(rest.data(), '\n', rest.size());
      const std::size_t end = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - rest.data()) : rest.size();
      const std::string_view piece = rest.substr(0, end);
      if (skipping) {
        skipping = lf == nullptr;
      } else if (lf && carry.empty()) {
        take(piece);
      } else {
        carry.append(piece);
        if (carry.size() > kLongestRead) {
          take(carry);  // too long: said, and its rest passed over
          carry.clear();
          skipping = lf == nullptr;
        } else if (lf) {
          take(carry);
          carry.clear();
        }
      }
      rest.remove_prefix(lf ? end + 1 : end);
    }
  }
  if (going && readError == 0 && !carry.empty()) take(carry);
  ::close(input.fd);
  if (readError != 0) {
    out.read = false;
    out.failure = systemReason(readError);
    return out;
  }
  if (number == 0) out.failure = "o arquivo está vazio"_cp;
  if (!out.read) {
    out.ecfs.clear();
    out.problems.clear();
    return out;
  }
  if (!out.closed) out.problems.push_back({number, "o texto termina sem o registro 9999 (arquivo incompleto?)"_cp});
  return out;
}

bool looksLikeEfdFile(const std::string& path) {
  const InputFile input = openInputFile(path);
  if (input.fd < 0) return false;
  char head[6];
  std::size_t got = 0;
  while (got < sizeof head) {
    const ssize_t n = ::read(input.fd, head + got, sizeof head - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(input.fd);
  return got == sizeof head && std::string_view(head, sizeof head) == "|0000|";
}

}  // namespace tavex
