#include "pg/pg_load.h"

#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "cotepe/br_format.h"
#include "cotepe/line_reader.h"
#include "cotepe/record_layout.h"
#include "cotepe/text.h"
#include "export/conversion.h"
#include "export/mdb_export.h"
#include "pg/pg_findings.h"
#include "pg/pg_schema.h"

namespace tavex {

namespace {

constexpr int kTables = 22;
constexpr int kUnknownLines = kTables;  // the batch of tavex.linha_desconhecida

bool allOf(std::string_view s, char c) {
  for (char x : s)
    if (x != c) return false;
  return true;
}

// A text value into a COPY row; plain printable ASCII (the usual case) is copied as it is.
void appendText(std::string& row, std::string_view cp1252) {
  for (char c : cp1252) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b >= 0x7F || c == '\\') {
      appendCopyText(row, pgTextOf(cp1252));
      return;
    }
  }
  row.append(cp1252);
}

std::string copyStatement(int batch) {
  if (batch == kUnknownLines) return "COPY tavex.linha_desconhecida (arquivo_id, linha, texto) FROM STDIN";
  std::string sql = "COPY " + pgTableName(batch) + " (arquivo_id, linha";
  for (const PgColumn& c : pgColumnsOf(batch)) sql += ", " + c.name;
  return sql + ", texto) FROM STDIN";
}

std::string station() {
  std::string user;
  if (const char* u = std::getenv("USER")) user = u;
  std::array<char, 256> host{};
  if (gethostname(host.data(), host.size() - 1) != 0) host[0] = '\0';
  return user + "@" + host.data();
}

std::optional<std::string> textParam(std::string_view cp1252) { return pgTextOf(trimRight(cp1252)); }

// File names on this system are normally UTF-8; a name that is not is taken as cp1252.
std::string pathText(const std::string& path) {
  for (std::size_t i = 0; i < path.size();) {
    const std::size_t at = i;
    if (detail::decodeUtf8(path, i) == 0xFFFD && !(i - at == 3 && path.compare(at, 3, "\xEF\xBF\xBD") == 0))
      return cp1252ToUtf8(path);
  }
  return path;
}

}  // namespace

// The load of one file, fed its lines in order. The file's row goes in with the
// first line under a key of its own (its transaction's number); the lines follow
// in COPY batches as they come; their SHA-256, known at the end, decides what
// becomes of an earlier load of the same bytes.
struct PgFileLoad::State {
  State(PgConnection& connection, const std::string& p, const PgLoadOptions& o) : c(connection), path(p), o_(o) {
    for (int b = 0; b <= kUnknownLines; ++b) statements_[static_cast<std::size_t>(b)] = copyStatement(b);
  }

  // Ends the transaction and the load as failed; `why` empty: the server's reason.
  void fail(const std::string& why) {
    c.rollbackQuietly();
    open = false;
    if (result_.status == PgLoadStatus::Failed && !result_.message.empty()) return;  // the first reason stays
    result_.status = PgLoadStatus::Failed;
    if (!why.empty())
      result_.message = why;
    else if (!c.connected())
      result_.message = "a conexão com o servidor caiu: "_cp + utf8ToCp1252(c.error());
    else
      result_.message = "o servidor recusou a carga: "_cp + utf8ToCp1252(c.error());
  }

  bool stopped() const { return result_.status != PgLoadStatus::Loaded; }

  // The first line: E01, whose fields describe the file's row.
  void begin(std::string_view raw) {
    if (!raw.starts_with("E01")) {
      result_.status = PgLoadStatus::NotCotepe;
      result_.message = "não é um arquivo COTEPE (a primeira linha não começa com E01)"_cp;
      return;
    }
    const std::string e01(removeLineFeed(raw));
    std::error_code ec;
    const std::filesystem::path p(path);
    const std::string absolute = std::filesystem::absolute(p, ec).string();
    const auto date = [](std::string_view d) -> std::optional<std::string> { return pgDateOf(d); };
    if (!c.connected()) c.reconnect();
    if (!c.exec("BEGIN")) return fail("");
    open = true;
    const auto inserted = c.query(
        "INSERT INTO tavex.arquivo (sha256, nome, caminho, tipo, serie_ecf, cnpj, data_inicial, data_final, estacao, "
        "validado) VALUES ('carregando:' || txid_current(), $1, $2, $3, $4, $5, $6, $7, $8, false) RETURNING id",
        {pathText(p.filename().string()), pathText(ec ? path : absolute), textParam(fieldOf(e01, E01::ComandoGeracao)),
         textParam(fieldOf(e01, E01::NumeroFabricacao)), textParam(fieldOf(e01, E01::CnpjUsuario)),
         date(fieldOf(e01, E01::DataInicial)), date(fieldOf(e01, E01::DataFinal)), pgTextOf(station())});
    if (!inserted) return fail("");
    result_.fileId = std::stoll((*inserted)[0][0]);
    id_ = std::to_string(result_.fileId);
  }

  void add(std::string_view raw) {
    fed += raw.size();
    if (started && stopped()) return;
    if (!started) {
      started = true;
      result_.status = PgLoadStatus::Loaded;  // until something fails
      begin(raw);
      if (stopped()) return;
    }
    hash_.add(raw.data(), raw.size());
    ++result_.lines;
    const std::string_view record = removeLineFeed(raw);
    if (record.empty()) return;
    const int table = mdbTableOf(record);
    const int batch = table < 0 ? kUnknownLines : table;
    std::string& data = batches_[static_cast<std::size_t>(batch)];
    data += id_;
    data += '\t';
    data += std::to_string(result_.lines);
    if (table >= 0) {
      ++result_.rows;
      addFields(data, table, record, static_cast<int>(result_.lines), result_);
    }
    data += '\t';
    appendText(data, record);
    data += '\n';
    if (data.size() >= o_.batchBytes) {
      if (!send(batch)) return fail("");
      if (o_.afterBatch) o_.afterBatch(result_.lines);
    }
  }

  PgLoadResult finish(bool wholeFile, const std::optional<std::pair<int, int>>& validation,
                      const std::function<bool(PgConnection&, long long)>& beforeCommit) {
    if (!started) {
      result_.status = wholeFile ? PgLoadStatus::NotCotepe : PgLoadStatus::Unreadable;
      result_.message = wholeFile ? "não é um arquivo COTEPE (a primeira linha não começa com E01)"_cp
                                  : "o arquivo não pode ser lido"_cp;
      return result_;
    }
    if (stopped()) return result_;
    if (!wholeFile) {
      fail("erro de leitura do arquivo");
      return result_;
    }
    for (int b = 0; b <= kUnknownLines; ++b)
      if (!send(b)) {
        fail("");
        return result_;
      }
    if (!copyFindings(c, result_.fileId, findings_)) {
      fail("");
      return result_;
    }
    const std::string sha = hash_.hex();

    // Loads of the same bytes take turns from here to their commit.
    if (!c.query("SELECT pg_advisory_xact_lock(1413568070, hashtext($1))", {sha})) return failed();
    const auto existing = c.query("SELECT id, validado, erros, avisos FROM tavex.arquivo WHERE sha256 = $1", {sha}, "");
    if (!existing) return failed();
    bool replacing = false;
    std::optional<std::pair<std::string, std::string>> counts;
    if (validation) counts = std::pair(std::to_string(validation->first), std::to_string(validation->second));
    if (!existing->empty()) {
      const std::vector<std::string>& row = (*existing)[0];
      const std::string earlierId = row[0];
      if (o_.skipExisting) {
        c.rollbackQuietly();
        open = false;
        result_ = PgLoadResult{};
        result_.fileId = std::stoll(earlierId);
        result_.status = PgLoadStatus::Skipped;
        return result_;
      }
      replacing = true;
      if (!validation && row[1] == "t") {
        // The same bytes validated before: that validation still describes them, and
        // its findings, reconciliation and indicators move to the new row; the load's
        // own findings (carga.formato) were made again by this load.
        result_.keptValidation = std::pair(static_cast<int>(leadingInt(row[2])), static_cast<int>(leadingInt(row[3])));
        counts = std::pair(row[2], row[3]);
        if (!moved(earlierId, "achado", kFindingColumns, " AND codigo <> 'carga.formato'") ||
            !moved(earlierId, "conciliacao", kReconciliationColumns, "") ||
            !moved(earlierId, "indicio", kIndicatorColumns, ""))
          return failed();
      }
      if (!c.query("DELETE FROM tavex.arquivo WHERE id = $1", {earlierId})) return failed();
    }
    if (!c.query("UPDATE tavex.arquivo SET sha256 = $2, linhas = $3, validado = $4, erros = $5, avisos = $6 WHERE id = $1",
                 {id_, sha, std::to_string(result_.lines), counts ? "t" : "f",
                  counts ? std::optional(counts->first) : std::nullopt,
                  counts ? std::optional(counts->second) : std::nullopt}))
      return failed();
    if (beforeCommit && !beforeCommit(c, result_.fileId)) return failed();
    if (!c.exec("COMMIT")) return failed();
    open = false;
    result_.status = replacing ? PgLoadStatus::Replaced : PgLoadStatus::Loaded;
    return result_;
  }

  PgLoadResult failed() {
    fail("");
    return result_;
  }

  // Copies the rows of `table` from the earlier load to this one.
  bool moved(const std::string& earlierId, const std::string& table, const char* columns, const std::string& where) {
    const std::string rest = std::string(columns).substr(std::string_view("arquivo_id").size());
    return c
        .query("INSERT INTO tavex." + table + " (" + columns + ") SELECT $2::bigint" + rest + " FROM tavex." + table +
                   " WHERE arquivo_id = $1::bigint" + where,
               {earlierId, id_})
        .has_value();
  }

  static constexpr const char* kFindingColumns =
      "arquivo_id, linha, registro, campo, codigo, severidade, mensagem, crz, coo, valor_declarado, valor_calculado, "
      "coo_final, quantidade";
  static constexpr const char* kReconciliationColumns =
      "arquivo_id, crz, data, coo_inicial, coo_final, tipo, totalizador, declarado, calculado, diferenca, "
      "dentro_tolerancia";
  static constexpr const char* kIndicatorColumns =
      "arquivo_id, codigo, nivel, mensagem, linha, registro, crz, coo, esperado, encontrado";

  void addFields(std::string& data, int table, std::string_view record, int line, PgLoadResult&) {
    for (const PgColumn& col : pgColumnsOf(table)) {
      const std::string_view v = sliceField(record, col.field->start, col.field->width);
      data += '\t';
      std::optional<std::string> converted;
      bool valid = true;
      switch (col.kind) {
        case PgColumnKind::Text:
          appendText(data, v);
          continue;
        case PgColumnKind::Integer:
          if (!v.empty() && isAllDigits(v)) {
            data.append(v);
            continue;
          }
          valid = false;
          break;
        case PgColumnKind::Date:
          converted = pgDateOf(v);
          // No date given (zeros or blanks) is not a malformed date.
          valid = converted.has_value() || (v.size() == 8 && (allOf(v, '0') || allOf(v, ' ')));
          break;
        case PgColumnKind::Time:
          converted = pgTimeOf(v);
          valid = converted.has_value() || (v.size() == 6 && allOf(v, ' '));
          break;
      }
      if (converted) {
        data += *converted;
        continue;
      }
      data += "\\N";
      if (valid) continue;
      ++result_.invalidFields;
      const RecordLayout& layout = allLayouts()[static_cast<std::size_t>(table)];
      PgFinding f;
      f.line = line;
      f.record = std::string(layout.tag);
      f.field = col.field->number;
      f.code = "carga.formato";
      f.error = true;
      f.message = cformat("Linha %d: %s -> campo %d (%.*s) fora do formato: \"%.*s\"; gravado como NULL."_cp, line,
                          f.record.c_str(), col.field->number, static_cast<int>(col.field->name.size()),
                          col.field->name.data(), static_cast<int>(v.size()), v.data());
      findings_.push_back(std::move(f));
    }
  }

  bool send(int batch) {
    std::string& data = batches_[static_cast<std::size_t>(batch)];
    if (data.empty()) return true;
    const bool ok = c.copyIn(statements_[static_cast<std::size_t>(batch)], data);
    data.clear();
    return ok;
  }

  PgConnection& c;
  std::string path;
  const PgLoadOptions& o_;
  bool started = false;  // the first line came
  std::uint64_t fed = 0;  // bytes of the lines added
  bool open = false;     // the transaction is open
  PgLoadResult result_;
  std::string id_;
  std::array<std::string, kUnknownLines + 1> batches_;
  std::array<std::string, kUnknownLines + 1> statements_;
  std::vector<PgFinding> findings_;
  Sha256 hash_;
};

PgFileLoad::PgFileLoad(PgConnection& connection, const std::string& path, const PgLoadOptions& options)
    : state_(std::make_unique<State>(connection, path, options)) {}

PgFileLoad::~PgFileLoad() {
  if (state_->open) state_->c.rollbackQuietly();
}

void PgFileLoad::addLine(std::string_view raw) { state_->add(raw); }

std::uint64_t PgFileLoad::bytesAdded() const { return state_->fed; }

PgLoadResult PgFileLoad::finish(bool wholeFile) {
  return state_->finish(wholeFile, state_->o_.validation, state_->o_.beforeCommit);
}

std::optional<long long> pgLoadedFileId(PgConnection& c, const std::string& sha256) {
  const auto rows = c.query("SELECT id FROM tavex.arquivo WHERE sha256 = $1", {sha256});
  if (!rows || rows->empty()) return std::nullopt;
  return std::stoll((*rows)[0][0]);
}

PgLoadResult finishFromFile(PgFileLoad& load, const std::string& path) {
  LineReader reader;
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec) || !reader.open(path) || !reader.seek(load.bytesAdded()))
    return load.finish(false);
  std::string_view raw;
  while (reader.next(raw)) load.addLine(raw);
  return load.finish(!reader.readFailed());
}

PgLoadResult loadCotepeFileToPg(PgConnection& c, const std::string& path, const PgLoadOptions& options) {
  std::error_code ec;
  LineReader reader;
  if (std::filesystem::is_directory(path, ec) || !reader.open(path)) {
    PgLoadResult result;
    result.status = PgLoadStatus::Unreadable;
    result.message = "o arquivo não pode ser lido"_cp;
    return result;
  }
  PgFileLoad load(c, path, options);
  std::string_view raw;
  while (reader.next(raw)) load.addLine(raw);
  return load.finish(!reader.readFailed());
}

}  // namespace tavex
