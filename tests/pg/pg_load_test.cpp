#include "pg/pg_load.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <climits>
#include <fstream>
#include <thread>

#include "cotepe/text.h"
#include "export/export_fixture.h"
#include "export/mdb_export.h"
#include "generator.h"
#include "pg/pg_findings.h"
#include "pg/pg_schema.h"
#include "pg_server.h"

namespace tavex {
namespace {

using namespace testing;

// A fresh database with the current schema, and a connection to it.
struct LoadTarget {
  std::string uri = PgServer::instance().newDatabase();
  PgConnection c;
  LoadTarget() {
    EXPECT_TRUE(c.connect(uri)) << c.error();
    EXPECT_TRUE(ensurePgSchema(c).usable());
  }
  std::vector<std::string> rows(const std::string& sql) { return pgRows(c, sql); }
  std::string one(const std::string& sql) {
    const auto r = rows(sql);
    return r.size() == 1 ? r[0] : "<" + std::to_string(r.size()) + " rows>";
  }
};

// Each column of a table read back as the record held it: numbers zero-filled to
// their width, dates AAAAMMDD, times HHMMSS, texts as they are.
std::string readBackSelect(int table) {
  std::string sql = "SELECT ";
  bool first = true;
  for (const PgColumn& c : pgColumnsOf(table)) {
    if (!first) sql += " || '|' || ";
    first = false;
    switch (c.kind) {
      case PgColumnKind::Integer:
        sql += cformat("lpad(%s::text, %d, '0')", c.name.c_str(), c.field->width);
        break;
      case PgColumnKind::Date:
        sql += "to_char(" + c.name + ", 'YYYYMMDD')";
        break;
      case PgColumnKind::Time:
        sql += "to_char(" + c.name + ", 'HH24MISS')";
        break;
      case PgColumnKind::Text:
        sql += c.name;
        break;
    }
  }
  return sql + " FROM " + pgTableName(table) + " ORDER BY linha";
}

std::vector<std::string> sqliteRows(const std::string& path, int table) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  std::string sql = "SELECT ";
  for (const FieldLayout& field : mdbTableLayout(table).fields)
    sql += std::string(sql.size() > 7 ? " || '|' || " : "") + std::string(field.dbColumn);
  sql += " FROM " + pgTableName(table).substr(6) + " ORDER BY rowid";
  sqlite3_stmt* st = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  std::vector<std::string> out;
  while (st != nullptr && sqlite3_step(st) == SQLITE_ROW)
    out.emplace_back(static_cast<const char*>(sqlite3_column_blob(st, 0)), static_cast<std::size_t>(sqlite3_column_bytes(st, 0)));
  sqlite3_finalize(st);
  sqlite3_close(db);
  return out;
}

TEST(PgLoad, EveryRecordTypeReadsBackAsTheSqliteExportStoresIt) {
  TempDir dir;
  std::vector<std::string> lines = sampleTdmFile();
  // Accents, a quote and a backslash in texts; every table gets rows.
  lines[lines.size() - 9] = sampleRecord(15, {{"COO", "1"}, {"CCF/CVC/CBP", "1"}, {"QTD", "1000"}, {"VL_UNIT", "1000"},
                                              {"TOTAL_LIQUIDO", "1000"}, {"DESCRICAO", "A\xC7\xDA" "CAR 'CRISTAL' C:\\X"}});
  writeFile(dir.file("in.txt"), joinLines(lines));
  CancelAtCheck control(INT_MAX);
  std::tm when{};
  when.tm_year = 112;
  when.tm_mday = 1;
  const MdbResult mdb = convertToMdb(dir.file("in.txt"), dir.path().string(), when, control);
  ASSERT_EQ(mdb.status, kMdbDone);

  LoadTarget db;
  const PgLoadResult r = loadCotepeFileToPg(db.c, dir.file("in.txt"));
  ASSERT_EQ(r.status, PgLoadStatus::Loaded) << r.message;
  EXPECT_EQ(r.lines, static_cast<long long>(lines.size()));
  EXPECT_EQ(r.rows, static_cast<long long>(lines.size()));
  EXPECT_EQ(r.invalidFields, 0);
  for (int table = 0; table < 22; ++table) {
    SCOPED_TRACE(pgTableName(table));
    const auto expected = sqliteRows(mdb.path, table);
    EXPECT_FALSE(expected.empty());
    EXPECT_EQ(db.rows(readBackSelect(table)), expected);
  }
  EXPECT_EQ(db.one("SELECT descricao, texto = $$" + cp1252ToUtf8(lines[lines.size() - 9]) + "$$ FROM tavex.e15"),
            "A\xC3\x87\xC3\x9A" "CAR 'CRISTAL' C:\\X" + std::string(79, ' ') + "|t");
  EXPECT_EQ(db.one("SELECT linha FROM tavex.ead"), std::to_string(lines.size()));
  EXPECT_EQ(db.one("SELECT tipo, serie_ecf, cnpj, data_inicial, data_final, linhas FROM tavex.arquivo"),
            "TDM|" + std::string(kSampleSerial) + "|" + kSampleCnpj + "|2012-10-01|2012-10-05|" +
                std::to_string(lines.size()));
}

TEST(PgLoad, TheSameBytesAgainReplaceTheFileOrAreSkipped) {
  TempDir dir;
  writeFile(dir.file("a.txt"), joinLines(sampleTdmFile()));
  writeFile(dir.file("copia.txt"), joinLines(sampleTdmFile()));
  writeFile(dir.file("outro.txt"), joinLines(sampleMfdFile()));
  LoadTarget db;
  const PgLoadResult first = loadCotepeFileToPg(db.c, dir.file("a.txt"));
  ASSERT_EQ(first.status, PgLoadStatus::Loaded);
  ASSERT_EQ(loadCotepeFileToPg(db.c, dir.file("outro.txt")).status, PgLoadStatus::Loaded);

  const PgLoadResult again = loadCotepeFileToPg(db.c, dir.file("copia.txt"));  // same bytes, other name
  ASSERT_EQ(again.status, PgLoadStatus::Replaced);
  EXPECT_NE(again.fileId, first.fileId);
  EXPECT_EQ(db.one("SELECT count(*), min(nome) FROM tavex.arquivo WHERE tipo = 'TDM'"), "1|copia.txt");
  EXPECT_EQ(db.one("SELECT count(*) FROM tavex.e15 WHERE arquivo_id = " + std::to_string(first.fileId)), "0");
  EXPECT_EQ(db.one("SELECT count(*) FROM tavex.e15"), "2");  // one of each file

  PgLoadOptions skip;
  skip.skipExisting = true;
  const PgLoadResult skipped = loadCotepeFileToPg(db.c, dir.file("a.txt"), skip);
  EXPECT_EQ(skipped.status, PgLoadStatus::Skipped);
  EXPECT_EQ(skipped.fileId, again.fileId);
  EXPECT_EQ(db.one("SELECT count(*) FROM tavex.arquivo"), "2");
}

TEST(PgLoad, MalformedFieldsAreNullWithAFindingAndTheRawLineKept) {
  TempDir dir;
  std::vector<std::string> lines = sampleMfdFile();
  std::string coupon = sampleRecord(14, {{"CCF/CVC/CBP", "1"}, {"COO", "1"}, {"SUBTOTAL", "1000"},
                                         {"TOTAL_LIQUIDO", "1000"}, {"DATA_INICIO", "20121340"}});
  coupon.replace(66, 3, "1A0");  // SUBTOTAL (position 67) no longer a number
  lines[2] = coupon;
  lines[3].resize(200);  // E15 cut short: its later fields are missing
  lines.insert(lines.begin() + 4, "X99 a line of no known type");
  lines.insert(lines.begin() + 4, "");
  writeFile(dir.file("in.txt"), joinLines(lines));
  LoadTarget db;
  const PgLoadResult r = loadCotepeFileToPg(db.c, dir.file("in.txt"));
  ASSERT_EQ(r.status, PgLoadStatus::Loaded) << r.message;
  EXPECT_EQ(r.lines, static_cast<long long>(lines.size()));
  EXPECT_EQ(r.rows, static_cast<long long>(lines.size()) - 2);
  EXPECT_EQ(db.one("SELECT subtotal, data_inicio_emissao, total_liquido, texto = $$" + coupon + "$$ FROM tavex.e14"),
            "<null>|<null>|1000|t");
  EXPECT_EQ(db.one("SELECT linha, texto FROM tavex.linha_desconhecida"), "6|X99 a line of no known type");
  const auto findings = db.rows("SELECT linha, registro, campo, codigo, severidade FROM tavex.achado ORDER BY linha, campo");
  // E14 fields 8 and 9; E15 fields 15 and on that are numbers (the cut at 200 leaves 15 empty, 14 shorter but digits)
  ASSERT_EQ(findings.size(), 2u + 7u);
  EXPECT_EQ(findings[0], "3|E14|8|carga.formato|erro");
  EXPECT_EQ(findings[1], "3|E14|9|carga.formato|erro");
  EXPECT_EQ(findings[2], "4|E15|15|carga.formato|erro");
  EXPECT_EQ(db.one("SELECT mensagem FROM tavex.achado WHERE campo = 9"),
            "Linha 3: E14 -> campo 9 (SUBTOTAL) fora do formato: \"1A000000001000\"; gravado como NULL.");
  EXPECT_EQ(r.invalidFields, 9);
}

TEST(PgLoad, QuotesBackslashesTabsNulsAndHugeLinesArriveIntact) {
  TempDir dir;
  std::vector<std::string> lines = sampleMfdFile();
  std::string item = lines[3];
  const std::string hostile = std::string("\"aspas\" 'ap' \\N \\\t tab\r cr ") + '\0' + " nul \x80\xFF";
  item.replace(75, hostile.size(), hostile);
  lines[3] = item;
  lines[4] = lines[4] + std::string(100000 - lines[4].size(), 'Z');  // a 100,000-character line
  writeFile(dir.file("in.txt"), joinLines(lines));
  LoadTarget db;
  const PgLoadResult r = loadCotepeFileToPg(db.c, dir.file("in.txt"));
  ASSERT_EQ(r.status, PgLoadStatus::Loaded) << r.message;
  const std::string expected = "\"aspas\" 'ap' \\N \\\t tab\r cr \xE2\x90\x80 nul \xE2\x82\xAC\xC3\xBF";
  EXPECT_EQ(db.one("SELECT substr(descricao, 1, " + std::to_string(hostile.size()) + ") FROM tavex.e15"), expected);
  EXPECT_EQ(db.one("SELECT texto FROM tavex.e15"), pgTextOf(item));
  EXPECT_EQ(db.one("SELECT length(texto), denominacao FROM tavex.e16"), "100000|RZ");
}

TEST(PgLoad, FileNamesAreStoredInUtf8WhetherTheSystemWroteThemSoOrInCp1252) {
  TempDir dir;
  writeFile(dir.file("relat\xC3\xB3rio.txt"), joinLines(sampleTdmFile()));
  writeFile(dir.file("relat\xF3rio.txt"), joinLines(sampleMfdFile()));
  LoadTarget db;
  ASSERT_TRUE(loadCotepeFileToPg(db.c, dir.file("relat\xC3\xB3rio.txt")).ok());
  ASSERT_TRUE(loadCotepeFileToPg(db.c, dir.file("relat\xF3rio.txt")).ok());
  EXPECT_EQ(db.rows("SELECT DISTINCT nome FROM tavex.arquivo"), std::vector<std::string>{"relat\xC3\xB3rio.txt"});
}

TEST(PgLoad, FilesThatAreNotCotepeOrCannotBeReadAreRefusedUntouched) {
  TempDir dir;
  writeFile(dir.file("notas.txt"), "E02 not a header\r\n");
  LoadTarget db;
  EXPECT_EQ(loadCotepeFileToPg(db.c, dir.file("notas.txt")).status, PgLoadStatus::NotCotepe);
  EXPECT_EQ(loadCotepeFileToPg(db.c, dir.file("sumiu.txt")).status, PgLoadStatus::Unreadable);
  EXPECT_EQ(loadCotepeFileToPg(db.c, dir.path().string()).status, PgLoadStatus::Unreadable);
  EXPECT_EQ(db.one("SELECT count(*) FROM tavex.arquivo"), "0");
}

TEST(PgLoad, AServerStoppedInTheMiddleLeavesNothingAndTheNextRunCompletesTheFile) {
  TempDir dir;
  GeneratorOptions g;
  g.targetBytes = 400000;
  {
    std::ofstream out(dir.file("grande.txt"), std::ios::binary);
    generateCotepe(out, g);
  }
  writeFile(dir.file("pequeno.txt"), joinLines(sampleMfdFile()));
  LoadTarget db;
  ASSERT_EQ(loadCotepeFileToPg(db.c, dir.file("pequeno.txt")).status, PgLoadStatus::Loaded);

  PgLoadOptions options;
  options.batchBytes = 20000;
  int batches = 0;
  options.afterBatch = [&](long long) {
    if (++batches == 5) PgServer::instance().stopImmediately();
  };
  const PgLoadResult broken = loadCotepeFileToPg(db.c, dir.file("grande.txt"), options);
  EXPECT_EQ(broken.status, PgLoadStatus::Failed);
  EXPECT_NE(broken.message.find("a conex\xE3o com o servidor caiu"), std::string::npos) << broken.message;
  EXPECT_GE(batches, 5);
  PgServer::instance().start();

  ASSERT_TRUE(db.c.reconnect()) << db.c.error();
  EXPECT_EQ(db.one("SELECT count(*), min(nome) FROM tavex.arquivo"), "1|pequeno.txt");
  for (int table = 0; table < 22; ++table)
    EXPECT_EQ(db.one("SELECT count(DISTINCT arquivo_id) <= 1 FROM " + pgTableName(table)), "t");
  EXPECT_EQ(db.one("SELECT count(*) FROM tavex.e15"), "1");

  const PgLoadResult again = loadCotepeFileToPg(db.c, dir.file("grande.txt"));
  ASSERT_EQ(again.status, PgLoadStatus::Loaded) << again.message;
  EXPECT_EQ(db.one("SELECT linhas FROM tavex.arquivo WHERE id = " + std::to_string(again.fileId)),
            std::to_string(again.lines));
  std::string rowsOfFile = "SELECT 0";
  for (int table = 0; table < 22; ++table)
    rowsOfFile += " + (SELECT count(*) FROM " + pgTableName(table) + " WHERE arquivo_id = " +
                  std::to_string(again.fileId) + ")";
  EXPECT_EQ(db.one(rowsOfFile), std::to_string(again.lines));
}

TEST(PgLoad, ParallelLoadsLoseAndDuplicateNothing) {
  TempDir dir;
  constexpr int kFiles = 8;
  std::vector<std::string> paths;
  long long expectedLines = 0;
  for (int i = 0; i < kFiles; ++i) {
    GeneratorOptions g;
    g.seed = static_cast<std::uint64_t>(i + 1);
    g.targetBytes = 60000;
    paths.push_back(dir.file(cformat("f%d.txt", i)));
    std::ofstream out(paths.back(), std::ios::binary);
    generateCotepe(out, g);
  }
  LoadTarget db;
  // Four clients each load every file, in different orders: each file ends up once.
  std::vector<std::thread> clients;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    clients.emplace_back([&, t] {
      PgConnection c;
      if (!c.connect(db.uri)) {
        ++failures[static_cast<std::size_t>(t)];
        return;
      }
      for (int k = 0; k < kFiles; ++k) {
        const PgLoadResult r = loadCotepeFileToPg(c, paths[static_cast<std::size_t>((k * (t + 1) + t) % kFiles)]);
        if (!r.ok()) ++failures[static_cast<std::size_t>(t)];
      }
    });
  }
  for (std::thread& t : clients) t.join();
  EXPECT_EQ(failures, std::vector<int>(4, 0));
  for (const std::string& p : paths) {
    LineReader reader;
    ASSERT_TRUE(reader.open(p));
    std::string_view line;
    while (reader.next(line)) ++expectedLines;
  }
  EXPECT_EQ(db.one("SELECT count(*), count(DISTINCT sha256), sum(linhas) FROM tavex.arquivo"),
            cformat("%d|%d|%lld", kFiles, kFiles, expectedLines));
  std::string everyRow = "SELECT 0";
  for (int table = 0; table < 22; ++table) everyRow += " + (SELECT count(*) FROM " + pgTableName(table) + ")";
  EXPECT_EQ(db.one(everyRow), std::to_string(expectedLines));
  EXPECT_EQ(db.one("SELECT count(*) FROM tavex.e15 WHERE arquivo_id NOT IN (SELECT id FROM tavex.arquivo)"), "0");
}

TEST(PgLoad, FindingsAndReconciliationRowsComeAndGoWithTheirFile) {
  TempDir dir;
  writeFile(dir.file("a.txt"), joinLines(sampleTdmFile()));
  LoadTarget db;
  PgLoadOptions options;
  options.validation = std::pair(1, 2);
  options.beforeCommit = [](PgConnection& c, long long id) {
    PgFinding f;
    f.line = 14;
    f.record = "E13";
    f.code = "totais.e13";
    f.message = "Linha 14: E13 -> total n\xE3o confere\r\n";
    f.crz = 1;
    f.declaredCents = 1000;
    f.computedCents = 990;
    PgReconciliationRow r;
    r.crz = 1;
    r.date = "20121001";
    r.cooFirst = 1;
    r.cooLast = 3;
    r.kind = "E13";
    r.totalizer = "01T1800";
    r.declaredCents = 1000;
    r.computedCents = 990;
    r.differenceCents = 10;
    r.withinTolerance = false;
    return copyFindings(c, id, {f}) && copyReconciliation(c, id, {r});
  };
  const PgLoadResult r = loadCotepeFileToPg(db.c, dir.file("a.txt"), options);
  ASSERT_EQ(r.status, PgLoadStatus::Loaded) << r.message;
  EXPECT_EQ(db.one("SELECT validado, erros, avisos FROM tavex.arquivo"), "t|1|2");
  EXPECT_EQ(db.one("SELECT linha, registro, campo, codigo, severidade, mensagem, crz, coo, valor_declarado, "
                   "valor_calculado FROM tavex.achado"),
            "14|E13|<null>|totais.e13|erro|Linha 14: E13 -> total n\xC3\xA3o confere|1|<null>|1000|990");
  EXPECT_EQ(db.one("SELECT crz, data, coo_inicial, coo_final, tipo, totalizador, diferenca, dentro_tolerancia "
                   "FROM tavex.conciliacao"),
            "1|2012-10-01|1|3|E13|01T1800|10|f");

  // A hook that fails aborts the whole file; the replaced rows are back.
  options.beforeCommit = [](PgConnection& c, long long) { return c.exec("SELECT 1/0"); };
  EXPECT_EQ(loadCotepeFileToPg(db.c, dir.file("a.txt"), options).status, PgLoadStatus::Failed);
  EXPECT_EQ(db.one("SELECT count(*) FROM tavex.achado"), "1");
  EXPECT_EQ(db.one("SELECT id FROM tavex.arquivo"), std::to_string(r.fileId));
}

TEST(PgText, DatesTimesAndNulBytesConvertOnlyWhenTheyAreReal) {
  EXPECT_EQ(pgDateOf("20120229"), "2012-02-29");
  EXPECT_EQ(pgDateOf("20000229"), "2000-02-29");
  EXPECT_EQ(pgDateOf("19000229"), std::nullopt);
  EXPECT_EQ(pgDateOf("20121131"), std::nullopt);
  EXPECT_EQ(pgDateOf("00001201"), std::nullopt);
  EXPECT_EQ(pgDateOf("2012121"), std::nullopt);
  EXPECT_EQ(pgDateOf("2012 201"), std::nullopt);
  EXPECT_EQ(pgTimeOf("235959"), "23:59:59");
  EXPECT_EQ(pgTimeOf("240000"), std::nullopt);
  EXPECT_EQ(pgTimeOf("126000"), std::nullopt);
  EXPECT_EQ(pgTextOf(std::string("a\0b\x80", 4)), "a\xE2\x90\x80" "b\xE2\x82\xAC");
}

}  // namespace
}  // namespace tavex
