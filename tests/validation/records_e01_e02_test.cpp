// E01 and E02: their content checks, in the order the log reports them, and the
// reference values they leave for later records.
#include "record_fixture.h"

namespace tavex::testing {
namespace {

std::string e01Prefix(int line = 1) { return cp("Linha " + std::to_string(line) + ": E01 -> "); }

TEST_F(RecordChecksTest, E01ReportsEveryContentProblemInItsOrder) {
  feed(sampleE01("mfd", {{"NUM_FABR", "00000000000000000000"},
                         {"MF_ADICIONAL", "a"},
                         {"TIPO_ECF", ""},
                         {"MARCA", ""},
                         {"MODELO", "00000000000000000000"},
                         {"VER_SB", ""},
                         {"DATA_GRAVACAO_SB", "19991231"},
                         {"HORA_GRAVACAO_SB", "246000"},
                         {"CNPJ_USUARIO", "11222333000182"},
                         {"CRZ_INI", "10"},
                         {"CRZ_FIM", "9"},
                         {"DATA_INI", "20121009"},
                         {"DATA_FIM", "20121008"},
                         {"VER_DLL", "1.0.0"},
                         {"VER_ATOCTP", "ATO1704" "01-00-00"}}));
  const std::string p = e01Prefix();
  EXPECT_EQ(findings(),
            (Findings{
                "[ERR] " + p + cp("Número de fabricação do ECF não informado no registro tipo E01."),
                "[AVISO] " + p + cp("MF Adicional informada no registro tipo E01 não é válida."),
                "[AVISO] " + p + cp("Tipo do ECF não informado no registro tipo E01."),
                "[AVISO] " + p + cp("Marca do ECF não informada no registro tipo E01."),
                "[AVISO] " + p + cp("Modelo do ECF não informado no registro tipo E01."),
                "[AVISO] " + p + cp("Versão atual do SB não informada no registro tipo E01."),
                "[AVISO] " + p + cp("Data da gravação do SB informada no registro tipo E01 não é válida."),
                "[AVISO] " + p + cp("Hora da gravação do SB informada no registro tipo E01 não é válida."),
                "[ERR] " + p + cp("CNPJ do estabelecimento usuário do ECF informado no registro tipo E01 não é válido."),
                "[ERR] " + cp("Linha 1: E01 ->Arquivo entregue não é do tipo MFD conforme comando de geração informado no "
                              "Registro Tipo E01."),
                "[AVISO] " + p + cp("CRZ do final do período informado no registro tipo E01 não é válido."),
                "[ERR] " + p + cp("Data do início do período a ser capturado informada no Registro Tipo E01 é superior ou "
                                  "igual ao dia em que está sendo efetuada a validação."),
                "[ERR] " + p + cp("Data do fim do período a ser capturado informada no Registro Tipo E01 deve ser igual ou "
                                  "posterior à data inicial."),
                "[AVISO] " + p + cp("Versão da biblioteca do fabricante do ECF informada no registro tipo E01 não é válida."),
                "[AVISO] " + p + cp("Versão do Ato COTEPE informada no registro tipo E01 não é válida."),
            }));
}

TEST_F(RecordChecksTest, E01AcceptsTheFourKindsAndNothingElse) {
  for (const char* kind : {"MF ", "MFD", "TDM", "RZ "}) feed(sampleE01(kind));
  EXPECT_EQ(findings(), Findings{});
  for (const char* kind : {"mfd", "MFX", "RZ1"}) feed(sampleE01(kind));
  EXPECT_EQ(findings().size(), 3u);
}

TEST_F(RecordChecksTest, E01PeriodDatesAgainstTheDayOfTheRun) {
  feed(sampleE01("TDM", {{"DATA_INI", "20121008"}, {"DATA_FIM", "20121008"}}));  // the day before: fine
  EXPECT_EQ(findings(), Findings{});
  feed(sampleE01("TDM", {{"DATA_INI", "19991231"}, {"DATA_FIM", "20121008"}}));
  EXPECT_EQ(findings(), (Findings{"[ERR] " + e01Prefix(2) + cp("Data do início do período a ser capturado informada no "
                                                                 "registro tipo E01 não é válida.")}));
}

TEST_F(RecordChecksTest, E01AcceptsACpfPaddedWithZeros) {
  feed(sampleE01("TDM", {{"CNPJ_USUARIO", "00052998224725"}}));
  feed(sampleE01("TDM", {{"MF_ADICIONAL", " "}}));
  EXPECT_EQ(findings(), Findings{});
}

TEST_F(RecordChecksTest, E01StoresItsValuesOnlyAfterPassingItsFormats) {
  feed(sampleE01("TDM", {{"DATA_GRAVACAO_SB", "2010AB01"}}));
  EXPECT_TRUE(run.formatFailed);
  EXPECT_EQ(run.ecfSerial, "");
  EXPECT_EQ(findings().size(), 1u);  // the format error only
  feed(sampleE02({{"CNPJ", "99999999999999"}}));
  EXPECT_EQ(findings().size(), 1u);  // no content check after a format error
}

TEST_F(RecordChecksTest, E02ComparesItsCnpjWithE01s) {
  start("TDM");
  feed(sampleE02({{"CNPJ", "52998224725000"}}));  // valid, but not E01's
  EXPECT_EQ(findings(), (Findings{cp("[ERR] Linha 3: E02 -> CNPJ {52998224725000} informado no registro tipo E02 não é "
                                     "igual ao informado no Registro Tipo E01.")}));
  clearFindings();
  feed(sampleE02({{"CNPJ", "11222333000182"}}));  // invalid and different
  EXPECT_EQ(findings(), (Findings{cp("[ERR] Linha 4: E02 -> CNPJ {11222333000182} informado no registro tipo E02 não é "
                                     "válido."),
                                  cp("[ERR] Linha 4: E02 -> CNPJ {11222333000182} informado no registro tipo E02 não é "
                                     "igual ao informado no Registro Tipo E01.")}));
}

TEST_F(RecordChecksTest, E02ReportsTheRestInOrder) {
  start("TDM");
  feed(sampleE02({{"NUM_FABR", "OTHER"}, {"MODELO", "OTHER"}, {"MF_ADICIONAL", "B"}, {"IE", "123.456/78"},
                  {"DATA_CADASTRO", "19990101"}, {"HORA_CADASTRO", "250000"}, {"CRO", "0"}}));
  const std::string p = cp("Linha 3: E02 -> ");
  EXPECT_EQ(findings(),
            (Findings{"[AVISO] " + p + cp("Número de fabricação informado em Registro Tipo E02 não é válido."),
                      "[AVISO] " + p + cp("Modelo do ECF informado em Registro Tipo E02 não é válido."),
                      "[AVISO] " + p + cp("MF Adicional informada no registro tipo E02 não é válida."),
                      "[ERR] " + p + cp("Inscrição Estadual {123.456/78    } informada no registro tipo E02 deve conter "
                                        "somente os caracteres relativos aos dígitos do número, sem máscaras de edição."),
                      "[AVISO] " + p + cp("Data do cadastro do usuário do ECF não é válida."),
                      "[AVISO] " + p + cp("Hora do cadastro do usuário do ECF não é válida."),
                      "[AVISO] " + p + cp("Valor do CRO informado no registro tipo E02 não é válido.")}));
  feed(sampleE02({{"NUM_FABR", ""}}));
  EXPECT_EQ(findings().back(), "[AVISO] " + cp("Linha 4: E02 -> Número de fabricação informado no registro tipo E02 não é válido."));
}

TEST_F(RecordChecksTest, E02SetsTheUserNumber) {
  start("TDM");
  EXPECT_EQ(run.userNumber, 1);
  feed(sampleE02({{"NUM_USUARIO", "07"}}));
  EXPECT_EQ(run.userNumber, 7);
}


// The format check of a line passes over the typed fields quickly when they all hold;
// a single wrong character anywhere in any typed field of any record must still be
// found, and named with its field.
TEST_F(RecordChecksTest, AWrongCharacterInAnyTypedFieldOfAnyRecordIsFound) {
  for (const RecordLayout& layout : allLayouts()) {
    std::string line(static_cast<std::size_t>(layout.length), ' ');
    for (const FieldLayout& field : layout.fields) {
      const std::string text = field.check == FieldCheck::Date   ? "20240229"
                               : field.check == FieldCheck::Time ? "235959"
                                                                 : std::string(static_cast<std::size_t>(field.width), '7');
      if (field.check != FieldCheck::None) line.replace(static_cast<std::size_t>(field.start - 1), text.size(), text);
    }
    const auto check = [&](const std::string& text) {
      clearFindings();
      run.formatFailed = false;
      RecordFields fields(layout, text);
      return checkLengthAndFormat(run, RecordLine{text, 1, layout.type, CheckMode::FormatOnly}, fields);
    };
    ASSERT_TRUE(check(line)) << layout.tag;
    ASSERT_TRUE(collector.findings.empty()) << layout.tag << ": " << collector.findings.front().message;
    for (const FieldLayout& field : layout.fields) {
      if (field.check == FieldCheck::None) continue;
      for (int at = 0; at < field.width; ++at) {
        for (const char wrong : {'x', '/', ':', ' ', '\x80', '\0'}) {
          std::string damaged = line;
          damaged[static_cast<std::size_t>(field.start - 1 + at)] = wrong;
          check(damaged);
          ASSERT_EQ(collector.findings.size(), 1u) << layout.tag << " field " << field.number << " at " << at;
          EXPECT_EQ(collector.findings[0].place.field, field.number) << layout.tag;
          EXPECT_TRUE(run.formatFailed);
        }
      }
    }
  }
}


// A short field of a whole line is read as one word with the characters before it;
// whatever the field and its neighbours hold, it reads as the leading-digits rule says.
TEST(FieldValues, EveryFieldOfEveryRecordReadsByTheLeadingDigitsRule) {
  std::uint32_t seed = 4242;
  const auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
  for (const RecordLayout& layout : allLayouts()) {
    for (int round = 0; round < 300; ++round) {
      std::string line(static_cast<std::size_t>(layout.length), '0');
      for (char& c : line) c = static_cast<char>(next() % 4 == 0 ? "x -+9\x80\0"[next() % 7] : '0' + next() % 10);
      for (const std::size_t length : {line.size(), line.size() - 1}) {  // whole, and one short
        const std::string text = line.substr(0, length);
        RecordFields fields(layout, text);
        for (const FieldLayout& field : layout.fields)
          ASSERT_EQ(fields.intOf(field.number), leadingInt(fields.byNumber(field.number)))
              << layout.tag << " field " << field.number << ": " << fields.byNumber(field.number);
        fields.replaceWithZero(layout.fields.back().number);
        EXPECT_EQ(fields.intOf(layout.fields.back().number), 0);
      }
    }
  }
}

}  // namespace
}  // namespace tavex::testing
