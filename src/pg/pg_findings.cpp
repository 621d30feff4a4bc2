#include "pg/pg_findings.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "cotepe/record_layout.h"
#include "cotepe/text.h"

namespace tavex {

namespace {

int digitsAt(std::string_view s, std::size_t at, std::size_t n) {
  int v = 0;
  for (std::size_t i = at; i < at + n; ++i) v = v * 10 + (s[i] - '0');
  return v;
}

void tab(std::string& row) { row += '\t'; }
void null(std::string& row) { row += "\\N"; }
template <typename T>
void optionalNumber(std::string& row, const std::optional<T>& v) {
  if (v)
    row += std::to_string(*v);
  else
    null(row);
}

}  // namespace

std::string pgTextOf(std::string_view cp1252) {
  std::string utf8 = cp1252ToUtf8(cp1252);
  if (utf8.find('\0') == std::string::npos) return utf8;
  std::string out;
  out.reserve(utf8.size() + 8);
  for (char c : utf8) {
    if (c == '\0')
      out += "\xE2\x90\x80";  // U+2400
    else
      out += c;
  }
  return out;
}

std::optional<std::string> pgDateOf(std::string_view d) {
  if (d.size() != 8 || !isAllDigits(d)) return std::nullopt;
  const int year = digitsAt(d, 0, 4), month = digitsAt(d, 4, 2), day = digitsAt(d, 6, 2);
  if (year < 1 || month < 1 || month > 12 || day < 1) return std::nullopt;
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (day > kDays[month - 1] + (month == 2 && leap ? 1 : 0)) return std::nullopt;
  return std::string(d.substr(0, 4)) + "-" + std::string(d.substr(4, 2)) + "-" + std::string(d.substr(6, 2));
}

std::optional<std::string> pgTimeOf(std::string_view t) {
  if (t.size() != 6 || !isAllDigits(t)) return std::nullopt;
  if (digitsAt(t, 0, 2) > 23 || digitsAt(t, 2, 2) > 59 || digitsAt(t, 4, 2) > 59) return std::nullopt;
  return std::string(t.substr(0, 2)) + ":" + std::string(t.substr(2, 2)) + ":" + std::string(t.substr(4, 2));
}

namespace {

constexpr const char* kCopyFindings =
    "COPY tavex.achado (arquivo_id, linha, registro, campo, codigo, severidade, mensagem, crz, coo, "
    "valor_declarado, valor_calculado, coo_final, quantidade) FROM STDIN";

// A finding's row after its arquivo_id and the tab that follows it.
void appendFindingRow(std::string& data, const PgFinding& f) {
  data += std::to_string(f.line);
  tab(data);
  appendCopyText(data, pgTextOf(f.record));
  tab(data);
  optionalNumber(data, f.field > 0 ? std::optional<int>(f.field) : std::nullopt);
  tab(data);
  appendCopyText(data, pgTextOf(f.code));
  tab(data);
  data += f.error ? "erro" : "aviso";
  tab(data);
  std::string_view message = f.message;
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.remove_suffix(1);
  appendCopyText(data, pgTextOf(message));
  tab(data);
  optionalNumber(data, f.crz);
  tab(data);
  optionalNumber(data, f.coo);
  tab(data);
  optionalNumber(data, f.declaredCents);
  tab(data);
  optionalNumber(data, f.computedCents);
  tab(data);
  optionalNumber(data, f.cooLast);
  tab(data);
  optionalNumber(data, f.count);
  data += '\n';
}

// Why the temporary file of the findings failed (cp1252), in `dir` when known.
std::string spillFailure(const std::string& dir) {
  const std::string cause = std::strerror(errno);
  return utf8ToCp1252("o arquivo temporário dos achados" + (dir.empty() ? std::string() : " em " + dir) +
                      " não pôde ser gravado: " + cause);
}

// An unnamed temporary file in $TMPDIR (else /tmp), gone when closed.
std::FILE* unnamedTemporaryFile(std::string& error) {
  const char* tmpdir = std::getenv("TMPDIR");
  const std::string dir = tmpdir != nullptr && *tmpdir != '\0' ? tmpdir : "/tmp";
  std::string pattern = dir + "/tavex-achados-XXXXXX";
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) {
    error = spillFailure(dir);
    return nullptr;
  }
  ::unlink(pattern.c_str());
  std::FILE* f = ::fdopen(fd, "w+b");
  if (f == nullptr) {
    error = spillFailure(dir);
    ::close(fd);
  }
  return f;
}

}  // namespace

bool copyFindings(PgConnection& connection, long long fileId, const std::vector<PgFinding>& findings) {
  if (findings.empty()) return true;
  std::string data;
  const std::string id = std::to_string(fileId);
  for (const PgFinding& f : findings) {
    data += id;
    tab(data);
    appendFindingRow(data, f);
  }
  return connection.copyIn(kCopyFindings, data);
}

PgFinding pgFindingOf(const Finding& f) {
  PgFinding row;
  row.line = f.place.line;
  if (f.place.recordType == kEadType)
    row.record = "EAD";
  else if (f.place.recordType > 0)
    row.record = cformat("E%02d", f.place.recordType);
  row.field = f.place.field;
  row.code = std::string(f.code);
  row.error = f.severity == Severity::Error;
  row.message = f.message;
  if (f.place.crz != 0) row.crz = f.place.crz;
  if (f.place.coo != 0) row.coo = f.place.coo;
  row.declaredCents = f.place.declared;
  row.computedCents = f.place.computed;
  if (f.place.lastCoo > f.place.coo) {
    row.cooLast = f.place.lastCoo;
    row.count = static_cast<std::int64_t>(f.place.lastCoo) - f.place.coo + 1;
  }
  return row;
}

PgFindingRows::PgFindingRows() = default;

PgFindingRows::~PgFindingRows() {
  if (spill_ != nullptr) std::fclose(spill_);
}

void PgFindingRows::onFinding(const Finding& finding) {
  appendFindingRow(pending_, pgFindingOf(finding));
  ++rows_;
  if (pending_.size() < kKeptBytes || !spillError_.empty()) return;
  if (spill_ == nullptr) spill_ = unnamedTemporaryFile(spillError_);
  if (spill_ != nullptr && std::fwrite(pending_.data(), 1, pending_.size(), spill_) != pending_.size())
    spillError_ = spillFailure("");
  pending_.clear();
}

bool PgFindingRows::copyTo(PgConnection& connection, long long fileId) {
  if (!spillError_.empty()) return false;
  if (rows_ == 0) return true;
  if (spill_ != nullptr && (std::fflush(spill_) != 0 || std::fseek(spill_, 0, SEEK_SET) != 0)) {
    spillError_ = spillFailure("");
    return false;
  }
  // Each row gets its arquivo_id in front as it is sent: rows end in a line feed
  // and hold none (COPY escapes them).
  const std::string id = std::to_string(fileId) + "\t";
  bool rowStart = true, spillDone = spill_ == nullptr, pendingDone = false;
  std::vector<char> block(1 << 16);
  const auto withIds = [&](std::string& piece, std::string_view rows) {
    for (std::size_t at = 0; at < rows.size();) {
      if (rowStart) piece += id;
      const std::size_t end = rows.find('\n', at);
      const std::size_t stop = end == std::string_view::npos ? rows.size() : end + 1;
      piece.append(rows.substr(at, stop - at));
      rowStart = end != std::string_view::npos;
      at = stop;
    }
  };
  const bool copied = connection.copyIn(kCopyFindings, [&](std::string& piece) {
    while (!spillDone) {
      const std::size_t n = std::fread(block.data(), 1, block.size(), spill_);
      if (n == 0) {
        if (std::ferror(spill_) != 0)
          spillError_ = spillFailure("");
        spillDone = true;
        break;
      }
      withIds(piece, std::string_view(block.data(), n));
      return spillError_.empty();
    }
    if (pendingDone || !spillError_.empty()) return false;
    pendingDone = true;
    withIds(piece, pending_);
    return true;
  });
  return copied && spillError_.empty();
}

bool copyReconciliation(PgConnection& connection, long long fileId, const std::vector<PgReconciliationRow>& rows) {
  if (rows.empty()) return true;
  std::string data;
  const std::string id = std::to_string(fileId);
  for (const PgReconciliationRow& r : rows) {
    data += id;
    tab(data);
    data += std::to_string(r.crz);
    tab(data);
    const auto date = pgDateOf(r.date);
    if (date)
      data += *date;
    else
      null(data);
    tab(data);
    optionalNumber(data, r.cooFirst);
    tab(data);
    optionalNumber(data, r.cooLast);
    tab(data);
    appendCopyText(data, pgTextOf(r.kind));
    tab(data);
    appendCopyText(data, pgTextOf(r.totalizer));
    tab(data);
    data += std::to_string(r.declaredCents);
    tab(data);
    data += std::to_string(r.computedCents);
    tab(data);
    data += std::to_string(r.differenceCents);
    tab(data);
    data += r.withinTolerance ? "t" : "f";
    data += '\n';
  }
  return connection.copyIn(
      "COPY tavex.conciliacao (arquivo_id, crz, data, coo_inicial, coo_final, tipo, totalizador, declarado, "
      "calculado, diferenca, dentro_tolerancia) FROM STDIN",
      data);
}

bool copyIndicators(PgConnection& connection, long long fileId, const std::vector<Indicator>& indicators) {
  if (indicators.empty()) return true;
  std::string data;
  const std::string id = std::to_string(fileId);
  const auto nonZero = [](auto v) { return v != 0 ? std::optional(v) : std::nullopt; };
  for (const Indicator& i : indicators) {
    data += id;
    tab(data);
    appendCopyText(data, std::string(i.code));
    tab(data);
    data += indicatorLevelName(i.level);
    tab(data);
    appendCopyText(data, pgTextOf(i.sentence));
    tab(data);
    optionalNumber(data, nonZero(i.line));
    tab(data);
    if (i.recordType > 0)
      data += cformat("E%02d", i.recordType);
    else
      null(data);
    tab(data);
    optionalNumber(data, nonZero(i.crz));
    tab(data);
    optionalNumber(data, nonZero(i.coo));
    tab(data);
    appendCopyText(data, pgTextOf(i.expected));
    tab(data);
    appendCopyText(data, pgTextOf(i.found));
    data += '\n';
  }
  return connection.copyIn(
      "COPY tavex.indicio (arquivo_id, codigo, nivel, mensagem, linha, registro, crz, coo, esperado, encontrado) "
      "FROM STDIN",
      data);
}

}  // namespace tavex
