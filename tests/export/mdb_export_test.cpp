#include "export/mdb_export.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>

#include "cotepe/text.h"
#include "export_fixture.h"

namespace tavex {
namespace {

namespace fs = std::filesystem;
using namespace testing;

// A read-only connection for checking what an export stored.
class Db {
 public:
  explicit Db(const std::string& path) { sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr); }
  ~Db() { sqlite3_close(db_); }
  // Rows of `sql`, each as its columns joined by "|" (NULL as "<null>", blobs as "blob:<bytes>").
  std::vector<std::string> rows(const std::string& sql) {
    std::vector<std::string> out;
    sqlite3_stmt* st = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr), SQLITE_OK) << sqlite3_errmsg(db_);
    while (st != nullptr && sqlite3_step(st) == SQLITE_ROW) {
      std::string row;
      for (int c = 0; c < sqlite3_column_count(st); ++c) {
        if (c > 0) row += "|";
        const int type = sqlite3_column_type(st, c);
        const auto* bytes = static_cast<const char*>(sqlite3_column_blob(st, c));
        const std::string value(bytes != nullptr ? bytes : "", static_cast<std::size_t>(sqlite3_column_bytes(st, c)));
        row += type == SQLITE_NULL ? "<null>" : type == SQLITE_BLOB ? "blob:" + value : value;
      }
      out.push_back(row);
    }
    sqlite3_finalize(st);
    return out;
  }

 private:
  sqlite3* db_ = nullptr;
};

std::tm moment() {
  std::tm t{};
  t.tm_year = 2012 - 1900;
  t.tm_mon = 9;
  t.tm_mday = 9;
  t.tm_hour = 8;
  t.tm_min = 5;
  t.tm_sec = 3;
  return t;
}

TEST(MdbExport, FileNameCarriesSerialDateAndTime) {
  EXPECT_EQ(mdbFileName("BE0910  ", moment()), "BE0910  _20121009_080503.MDB");
  EXPECT_EQ(mdbFileName("", moment()), "_20121009_080503.MDB");
}

TEST(MdbExport, SchemaHasTheFixedStatementsInOrder) {
  TempDir dir;
  writeFile(dir.file("in.txt"), joinLines({sampleE01("TDM")}));
  DirectWorkerControl control;
  const MdbResult r = convertToMdb(dir.file("in.txt"), dir.path().string(), moment(), control);
  ASSERT_EQ(r.status, kMdbDone);
  EXPECT_EQ(r.path, dir.file(std::string(kSampleSerial) + "_20121009_080503.MDB"));
  Db db(r.path);
  const auto tables = db.rows("SELECT name FROM sqlite_master WHERE type='table' ORDER BY rowid");
  std::vector<std::string> expected;
  for (int t = 1; t <= 21; ++t) expected.push_back(cformat("E%02d", t));
  expected.push_back("EAD");
  EXPECT_EQ(tables, expected);
  const auto sql = db.rows("SELECT sql FROM sqlite_master WHERE type='table' ORDER BY rowid");
  EXPECT_EQ(sql[0],
            "CREATE TABLE E01 ( registro VARCHAR(3), fabricacao VARCHAR(20), mf_adicional VARCHAR(1), tipo_do_ecf "
            "VARCHAR(7), marca VARCHAR(20), modelo VARCHAR(20), versao_sb VARCHAR(10), data_sb VARCHAR(8), hora_sb "
            "VARCHAR(6), numero_ecf VARCHAR(3), cnpj VARCHAR(14), comando_geracao VARCHAR(3), crz_inicial VARCHAR(6), "
            "crz_final VARCHAR(6), data_inicial VARCHAR(8), data_final VARCHAR(8), versao_dll VARCHAR(8), "
            "versao_ato_cotepe VARCHAR(15) )");
  EXPECT_EQ(sql[4],
            "CREATE TABLE E05 ( registro VARCHAR(3), fabricacao VARCHAR(20), mf_adicional VARCHAR(1), modelo "
            "VARCHAR(20), cnpj VARCHAR(14), data_cadastro VARCHAR(8), hora_cadastro VARCHAR(6), C0 VARCHAR(1), C1 "
            "VARCHAR(1), C2 VARCHAR(1), C3 VARCHAR(1), C4 VARCHAR(1), C5 VARCHAR(1), C6 VARCHAR(1), C7 VARCHAR(1), C8 "
            "VARCHAR(1), C9 VARCHAR(1) )");
  EXPECT_EQ(sql[21], "CREATE TABLE EAD ( registro VARCHAR(3), assinatura MEMO )");
  EXPECT_EQ(db.rows("SELECT group_concat(name || ' ' || type, ', ') FROM pragma_table_info('E15')"),
            std::vector<std::string>{
                "registro VARCHAR(3), fabricacao VARCHAR(20), mf_adicional VARCHAR(1), modelo VARCHAR(20), usuario "
                "VARCHAR(2), COO VARCHAR(6), contador VARCHAR(6), item VARCHAR(3), codigo VARCHAR(14), descricao "
                "VARCHAR(100), quantidade VARCHAR(7), unidade VARCHAR(3), valor_unitario VARCHAR(8), desconto_item "
                "VARCHAR(8), acrescimo_item VARCHAR(8), valor_liquido_total VARCHAR(14), totalizador_parcial "
                "VARCHAR(7), cancelamento VARCHAR(1), quantidade_cancelada VARCHAR(7), valor_cancelado VARCHAR(13), "
                "cancelamento_acrescimo VARCHAR(13), arredondamento VARCHAR(1), casas_quantidade VARCHAR(1), "
                "casas_valor VARCHAR(1)"});
  for (int t = 0; t < 22; ++t) {
    const std::string create = mdbCreateStatement(t);
    EXPECT_EQ(sql[static_cast<std::size_t>(t)], create);
    // Every column of the INSERT is the CREATE's, in order.
    const std::string insert = mdbInsertStatement(t);
    EXPECT_EQ(std::count(create.begin(), create.end(), ','), std::count(insert.begin(), insert.end(), '?') - 1);
  }
  EXPECT_EQ(mdbInsertStatement(21), "INSERT INTO EAD ( registro, assinatura ) VALUES (?, ?)");
}

TEST(MdbExport, RowsHoldTheFieldsExactlyQuotesAndAllAndOnlyKnownTables) {
  TempDir dir;
  const std::string e14 = sampleRecord(14, {{"COO", "42"}, {"CLIENTE", "O \"BOM\" CLIENTE"}});
  const std::string e15 = sampleRecord(15, {{"DESCRICAO", "TV 29\" AÇÃO"_cp}});
  const std::string e05 = sampleRecord(5, {{"C3", "\""}});
  const std::string ead = "EAD" + std::string(256, '0');
  writeFile(dir.file("in.txt"), joinLines({sampleE01("TDM"), sampleE02(), "X99 skipped", "", e05, e14, e15,
                                           "E22 unknown", ead}) +
                                    sampleRecord(13).substr(0, 40));  // short last line, no line end
  DirectWorkerControl control;
  const MdbResult r = convertToMdb(dir.file("in.txt"), dir.path().string(), moment(), control);
  ASSERT_EQ(r.status, kMdbDone);
  EXPECT_TRUE(control.notices.empty());
  Db db(r.path);
  EXPECT_EQ(db.rows("SELECT (SELECT count(*) FROM E01), (SELECT count(*) FROM E02), (SELECT count(*) FROM E05), "
                    "(SELECT count(*) FROM E13), (SELECT count(*) FROM E14), (SELECT count(*) FROM E15), "
                    "(SELECT count(*) FROM E16), (SELECT count(*) FROM EAD)"),
            std::vector<std::string>{"1|1|1|1|1|1|0|1"});
  EXPECT_EQ(db.rows("SELECT nome_cliente, COO, cnpj_cliente FROM E14"),
            std::vector<std::string>{"O \"BOM\" CLIENTE                         |000042|00000000000000"});
  EXPECT_EQ(db.rows("SELECT rtrim(descricao) FROM E15"), std::vector<std::string>{"TV 29\" AÇÃO"});  // UTF-8
  EXPECT_EQ(db.rows("SELECT C2, C3, typeof(C3) FROM E05"), std::vector<std::string>{" |\"|text"});
  EXPECT_EQ(db.rows("SELECT registro, assinatura, typeof(assinatura) FROM EAD"),
            std::vector<std::string>{"EAD|blob:" + std::string(256, '0') + "|blob"});
  // The short last line: fields beyond its end are empty, the last character kept.
  EXPECT_EQ(db.rows("SELECT modelo, usuario, CRZ FROM E13"), std::vector<std::string>{"MP-2100 TH FI   ||"});
  EXPECT_EQ(db.rows("SELECT count(*) FROM E02 WHERE gt = '000000000000000000' AND typeof(gt) = 'text'"),
            std::vector<std::string>{"1"});
}

TEST(MdbExport, RowsOfInterleavedTablesKeepTheirOrderAndTheirOwnTextAcrossBatches) {
  // More rows than two batches in two tables whose records alternate, each E15
  // with its own non-ASCII description: every row lands, in file order, intact.
  TempDir dir;
  std::vector<std::string> lines = {sampleE01("TDM")};
  std::vector<std::string> descriptions, coos;
  const int n = 2 * kMdbBatchRows + 5;
  for (int i = 1; i <= n; ++i) {
    descriptions.push_back(cp1252ToUtf8("AÇÃO "_cp + std::to_string(i)));
    coos.push_back(cformat("%06d", i));
    lines.push_back(sampleRecord(15, {{"DESCRICAO", "AÇÃO "_cp + std::to_string(i)}}));
    lines.push_back(sampleRecord(14, {{"COO", std::to_string(i)}}));
  }
  writeFile(dir.file("in.txt"), joinLines(lines));
  DirectWorkerControl control;
  const MdbResult r = convertToMdb(dir.file("in.txt"), dir.path().string(), moment(), control);
  ASSERT_EQ(r.status, kMdbDone);
  Db db(r.path);
  EXPECT_EQ(db.rows("SELECT rtrim(descricao) FROM E15 ORDER BY rowid"), descriptions);
  EXPECT_EQ(db.rows("SELECT COO FROM E14 ORDER BY rowid"), coos);
  EXPECT_EQ(db.rows("SELECT count(*) FROM E01"), std::vector<std::string>{"1"});
}

TEST(MdbExport, ExistingFileIsNeverOverwritten) {
  TempDir dir;
  writeFile(dir.file("in.txt"), joinLines({sampleE01("TDM")}));
  const std::string name = dir.file(std::string(kSampleSerial) + "_20121009_080503.MDB");
  writeFile(name, "dados anteriores");
  DirectWorkerControl control;
  const MdbResult r = convertToMdb(dir.file("in.txt"), dir.path().string(), moment(), control);
  EXPECT_EQ(r.status, kMdbDatabaseFailed);
  EXPECT_EQ(readFile(name), "dados anteriores");
  ASSERT_EQ(control.notices.size(), 1u);
  EXPECT_EQ(control.notices[0].title, "Erro na Criação do Banco de Dados"_cp);
  EXPECT_NE(control.notices[0].text.find("exists"), std::string::npos);
}

TEST(MdbExport, SerialWithASlashStaysInTheFolderAndCancelKeepsEarlierRows) {
  TempDir dir;
  std::vector<std::string> lines = {sampleE01("TDM", {{"NUM_FABR", "AB/CD"}})};
  for (int i = 1; i <= 30; ++i) lines.push_back(sampleRecord(21, {{"COO", std::to_string(i)}}));
  writeFile(dir.file("in.txt"), joinLines(lines));
  CancelAtCheck control(12);  // stops before line 12: E01 and ten E21 are in
  const MdbResult r = convertToMdb(dir.file("in.txt"), dir.path().string(), moment(), control);
  EXPECT_EQ(r.status, kConversionCancelled);
  EXPECT_EQ(fs::path(r.path).parent_path(), dir.path());
  EXPECT_EQ(fs::path(r.path).filename().string().substr(0, 6), "AB_CD ");
  Db db(r.path);
  EXPECT_EQ(db.rows("SELECT count(*), min(COO), max(COO) FROM E21"), std::vector<std::string>{"10|000001|000010"});
}

class MdbCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(dir.path() / "saida");
    writeFile(dir.file("in.txt"), joinLines({sampleE01("TDM"), sampleE02(), sampleEad()}));
    ui.progressHandler = runJobToEnd();
  }
  std::vector<fs::path> mdbFiles(const fs::path& folder) {
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(folder))
      if (e.path().extension() == ".MDB") out.push_back(e.path());
    return out;
  }
  KeepCurrentDirectory keep;
  TempDir dir;
  ScriptedUserInterface ui;
  SessionFixture s;
};

TEST_F(MdbCommand, WithoutManufacturerTheDatabaseGoesIntoTheChosenFolder) {
  ui.answer(dir.file("in.txt"));
  ui.answer(dir.file("saida"));
  EXPECT_EQ(exportMdb(ui, s.session), kMdbDone);
  EXPECT_EQ(ui.folderTitles, std::vector<std::string>{"Selecione o diretório de saída do arquivo MDB:"_cp});
  EXPECT_EQ(s.currentFile, dir.file("in.txt"));
  const auto files = mdbFiles(dir.path() / "saida");
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(fs::current_path(), fs::canonical(dir.path() / "saida"));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0], (ShownMessage{"Processo de conversão finalizado.\nArquivo salvo no caminho:\n"_cp +
                                              files[0].string(),
                                          "Aviso", Icon::Information}));
}

TEST_F(MdbCommand, WithManufacturerTheDatabaseGoesIntoItsMdbFolder) {
  fs::create_directory(dir.path() / "MDB");
  s.session.mdbDirectory = dir.file("MDB");
  ui.answer(dir.file("in.txt"));
  ui.answer(dir.file("saida"));
  EXPECT_EQ(exportMdb(ui, s.session), kMdbDone);
  EXPECT_TRUE(mdbFiles(dir.path() / "saida").empty());
  EXPECT_EQ(mdbFiles(dir.path() / "MDB").size(), 1u);
}

TEST_F(MdbCommand, FailuresShowTheirMessages) {
  ui.answer(dir.file("nao-existe.txt"));
  ui.answer(dir.file("saida"));
  EXPECT_EQ(exportMdb(ui, s.session), kMdbInputUnreadable);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0], (ShownMessage{"Problemas ao abrir o arquivo COTEPE.", "Erro!", Icon::Error}));

  s.session.mdbDirectory = dir.file("MDB-que-nao-existe");
  ui.answer(dir.file("in.txt"));
  ui.answer(dir.file("saida"));
  EXPECT_EQ(exportMdb(ui, s.session), kMdbDatabaseFailed);
  ASSERT_EQ(ui.messages.size(), 3u);
  EXPECT_EQ(ui.messages[1].title, "Erro na Criação do Banco de Dados"_cp);
  EXPECT_EQ(ui.messages[2], (ShownMessage{"Problemas ao criar o arquivo MDB de saída."_cp, "Erro!", Icon::Error}));

  ScriptedUserInterface cancelled;
  cancelled.answer(dir.file("in.txt"));
  cancelled.answer(std::nullopt);
  EXPECT_EQ(exportMdb(cancelled, s.session), std::nullopt);
  EXPECT_TRUE(cancelled.messages.empty());
}

}  // namespace
}  // namespace tavex
