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

class Loader {
 public:
  Loader(PgConnection& c, const PgLoadOptions& o) : c_(c), o_(o) {
    for (int b = 0; b <= kUnknownLines; ++b) statements_[static_cast<std::size_t>(b)] = copyStatement(b);
  }

  // The rows of every line; false when the server refused something.
  bool load(LineReader& reader, PgLoadResult& result) {
    id_ = std::to_string(result.fileId);
    std::string_view raw;
    while (reader.next(raw)) {
      hash_.add(raw.data(), raw.size());
      ++result.lines;
      const std::string_view record = removeLineFeed(raw);
      if (record.empty()) continue;
      const int table = mdbTableOf(record);
      const int batch = table < 0 ? kUnknownLines : table;
      std::string& data = batches_[static_cast<std::size_t>(batch)];
      data += id_;
      data += '\t';
      data += std::to_string(result.lines);
      if (table >= 0) {
        ++result.rows;
        addFields(data, table, record, static_cast<int>(result.lines), result);
      }
      data += '\t';
      appendText(data, record);
      data += '\n';
      if (data.size() >= o_.batchBytes) {
        if (!send(batch)) return false;
        if (o_.afterBatch) o_.afterBatch(result.lines);
      }
    }
    if (reader.readFailed()) {
      c_.rollbackQuietly();
      message_ = "erro de leitura do arquivo";
      return false;
    }
    for (int b = 0; b <= kUnknownLines; ++b)
      if (!send(b)) return false;
    return copyFindings(c_, result.fileId, findings_);
  }

  const std::string& message() const { return message_; }
  // The SHA-256 of the bytes load() read (all of the file once it succeeded); ends the hash.
  std::string sha256() { return hash_.hex(); }

 private:
  void addFields(std::string& data, int table, std::string_view record, int line, PgLoadResult& result) {
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
      ++result.invalidFields;
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
    const bool ok = c_.copyIn(statements_[static_cast<std::size_t>(batch)], data);
    data.clear();
    return ok;
  }

  PgConnection& c_;
  const PgLoadOptions& o_;
  std::string id_;
  std::array<std::string, kUnknownLines + 1> batches_;
  std::array<std::string, kUnknownLines + 1> statements_;
  std::vector<PgFinding> findings_;
  std::string message_;
  Sha256 hash_;
};

}  // namespace

std::optional<long long> pgLoadedFileId(PgConnection& c, const std::string& sha256) {
  const auto rows = c.query("SELECT id FROM tavex.arquivo WHERE sha256 = $1", {sha256});
  if (!rows || rows->empty()) return std::nullopt;
  return std::stoll((*rows)[0][0]);
}

PgLoadResult loadCotepeFileToPg(PgConnection& c, const std::string& path, const PgLoadOptions& options) {
  PgLoadResult result;
  std::error_code ec;
  LineReader reader;
  if (std::filesystem::is_directory(path, ec) || !reader.open(path)) {
    result.status = PgLoadStatus::Unreadable;
    result.message = "o arquivo não pode ser lido"_cp;
    return result;
  }
  std::string_view first;
  if (!reader.next(first) || !first.starts_with("E01")) {
    result.status = PgLoadStatus::NotCotepe;
    result.message = "não é um arquivo COTEPE (a primeira linha não começa com E01)"_cp;
    return result;
  }
  const std::string e01(removeLineFeed(first));
  reader.rewind();
  auto dateParam = [](std::string_view d) -> std::optional<std::string> { return pgDateOf(d); };

  auto fail = [&](const std::string& why) {
    c.rollbackQuietly();
    result.status = PgLoadStatus::Failed;
    if (!why.empty())
      result.message = why;
    else if (!c.connected())
      result.message = "a conexão com o servidor caiu: "_cp + utf8ToCp1252(c.error());
    else
      result.message = "o servidor recusou a carga: "_cp + utf8ToCp1252(c.error());
    return result;
  };
  // The file is read once: its row goes in first under a key of its own (its
  // transaction's number), its lines follow, and their SHA-256, known once they
  // are read, decides what becomes of an earlier load of the same bytes.
  const std::filesystem::path p(path);
  const std::string absolute = std::filesystem::absolute(p, ec).string();
  const std::optional<std::pair<int, int>>& validation = options.validation;
  if (!c.exec("BEGIN")) return fail("");
  const auto inserted = c.query(
      "INSERT INTO tavex.arquivo (sha256, nome, caminho, tipo, serie_ecf, cnpj, data_inicial, data_final, estacao, "
      "validado, erros, avisos) VALUES ('carregando:' || txid_current(), $1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11) "
      "RETURNING id",
      {pathText(p.filename().string()), pathText(ec ? path : absolute), textParam(fieldOf(e01, E01::ComandoGeracao)),
       textParam(fieldOf(e01, E01::NumeroFabricacao)), textParam(fieldOf(e01, E01::CnpjUsuario)),
       dateParam(fieldOf(e01, E01::DataInicial)), dateParam(fieldOf(e01, E01::DataFinal)), pgTextOf(station()),
       validation ? "t" : "f", validation ? std::optional(std::to_string(validation->first)) : std::nullopt,
       validation ? std::optional(std::to_string(validation->second)) : std::nullopt});
  if (!inserted) return fail("");
  result.fileId = std::stoll((*inserted)[0][0]);
  const std::string id = std::to_string(result.fileId);

  Loader loader(c, options);
  if (!loader.load(reader, result)) return fail(loader.message());
  const std::string sha = loader.sha256();

  // Loads of the same bytes take turns from here to their commit.
  if (!c.query("SELECT pg_advisory_xact_lock(1413568070, hashtext($1))", {sha})) return fail("");
  const auto existing =
      c.query("SELECT id, validado, erros, avisos FROM tavex.arquivo WHERE sha256 = $1", {sha}, "");
  if (!existing) return fail("");
  bool replacing = false;
  if (!existing->empty()) {
    const std::vector<std::string>& row = (*existing)[0];
    const std::string earlierId = row[0];
    if (options.skipExisting) {
      c.rollbackQuietly();
      result = PgLoadResult{};
      result.fileId = std::stoll(earlierId);
      result.status = PgLoadStatus::Skipped;
      return result;
    }
    replacing = true;
    if (!validation && row[1] == "t") {
      // The same bytes validated before: that validation still describes them, and
      // its findings, reconciliation and indicators move to the new row; the load's
      // own findings (carga.formato) were made again by this load.
      result.keptValidation = std::pair(static_cast<int>(leadingInt(row[2])), static_cast<int>(leadingInt(row[3])));
      const char* const findings =
          "arquivo_id, linha, registro, campo, codigo, severidade, mensagem, crz, coo, valor_declarado, valor_calculado";
      const char* const reconciliation =
          "arquivo_id, crz, data, coo_inicial, coo_final, tipo, totalizador, declarado, calculado, diferenca, "
          "dentro_tolerancia";
      const char* const indicators = "arquivo_id, codigo, nivel, mensagem, linha, registro, crz, coo, esperado, encontrado";
      const auto moved = [&](const std::string& table, const char* columns, const std::string& where) {
        const std::string rest = std::string(columns).substr(std::string_view("arquivo_id").size());
        return c.query("INSERT INTO tavex." + table + " (" + columns + ") SELECT $2::bigint" + rest + " FROM tavex." +
                           table + " WHERE arquivo_id = $1::bigint" + where,
                       {earlierId, id})
            .has_value();
      };
      if (!c.query("UPDATE tavex.arquivo SET validado = true, erros = $2, avisos = $3 WHERE id = $1",
                   {id, row[2], row[3]}) ||
          !moved("achado", findings, " AND codigo <> 'carga.formato'") || !moved("conciliacao", reconciliation, "") ||
          !moved("indicio", indicators, ""))
        return fail("");
    }
    if (!c.query("DELETE FROM tavex.arquivo WHERE id = $1", {earlierId})) return fail("");
  }
  if (!c.query("UPDATE tavex.arquivo SET sha256 = $2, linhas = $3 WHERE id = $1",
               {id, sha, std::to_string(result.lines)}))
    return fail("");
  if (options.beforeCommit && !options.beforeCommit(c, result.fileId)) return fail("");
  if (!c.exec("COMMIT")) return fail("");
  result.status = replacing ? PgLoadStatus::Replaced : PgLoadStatus::Loaded;
  return result;
}

}  // namespace tavex
