// The two scans of a full run: record order and kinds, then record sizes. A
// finding of either ends the run after the summary.
#include "record_fixture.h"
#include "validation_fixture.h"

namespace tavex::testing {
namespace {

std::vector<std::string> without(std::vector<std::string> lines, const std::string& prefix) {
  std::erase_if(lines, [&](const std::string& l) { return l.starts_with(prefix); });
  return lines;
}

std::vector<std::string> withKind(std::vector<std::string> lines, const std::string& kind) {
  lines[0] = sampleE01(kind);
  return lines;
}

TEST_F(ValidationTest, ValidFilesOfEveryKindPassWithoutFindings) {
  for (const auto& lines : {sampleMfFile(), sampleMfdFile(), sampleTdmFile()}) {
    const auto summary = validate(lines);
    EXPECT_EQ(findings(), Findings{}) << lines[0].substr(112, 3);
    EXPECT_EQ(summary.warnings, 0);
  }
}

TEST_F(ValidationTest, AMissingRecordTypeIsReportedAndEndsTheRun) {
  auto lines = without(sampleMfdFile(), "E17");
  lines[3] = sampleRecord(15, {{"NUM_FABR", "OTHER"}});  // would give a warning if the run went on
  validate(lines);
  EXPECT_EQ(findings(), (Findings{cp("[ERR]         : E17 -> Não existe nenhum Registro Tipo E17 no arquivo.")}));
  expectMatchesGolden(log(), "validation/golden/mfd_missing_e17.log");
}

TEST_F(ValidationTest, TdmReportsEveryMissingTypeInOrderThenEad) {
  std::vector<std::string> lines = {sampleE01("TDM"), sampleE02()};
  validate(lines);
  Findings expected;
  for (int type = 4; type <= 21; ++type)
    expected.push_back(cp(cformat("[ERR]         : E%02d -> Não existe nenhum Registro Tipo E%02d no arquivo.", type, type)));
  expected.push_back(cp("[ERR]         : EAD -> Não existe nenhum Registro Tipo EAD no arquivo."));
  EXPECT_EQ(findings(), expected);
}

TEST_F(ValidationTest, MfFilesAreCheckedForMissingRecordsToo) {
  validate(without(without(sampleMfFile(), "E08"), "EAD"));
  EXPECT_EQ(findings(), (Findings{cp("[ERR]         : E08 -> Não existe nenhum Registro Tipo E08 no arquivo."),
                                  cp("[ERR]         : EAD -> Não existe nenhum Registro Tipo EAD no arquivo.")}));
}

TEST_F(ValidationTest, IncompatibleRecordsGiveOneMessagePerGroup) {
  auto lines = sampleMfdFile();
  lines.insert(lines.begin() + 2, {sampleRecord(5), sampleRecord(5), sampleRecord(5), sampleRecord(12)});
  validate(lines);
  EXPECT_EQ(findings(), (Findings{cp("[ERR] Linha 3: E05 -> Registro E não compatível com arquivo MFD."),
                                  cp("[ERR] Linha 6: E12 -> Registro E não compatível com arquivo MFD.")}));
  validate(withKind(sampleTdmFile(), "MF "));
  EXPECT_EQ(findings().front(), cp("[ERR] Linha 14: E14 -> Registro E não compatível com arquivo MF."));
  EXPECT_EQ(findings().size(), 7u);  // E14 .. E20
  auto rz = withKind(sampleMfdFile(), "RZ ");
  validate(rz);
  EXPECT_EQ(findings(), (Findings{cp("[ERR] Linha 6: E17 -> Registro E não compatível com arquivo RZ."),
                                  cp("[ERR] Linha 7: E18 -> Registro E não compatível com arquivo RZ."),
                                  cp("[ERR] Linha 8: E19 -> Registro E não compatível com arquivo RZ."),
                                  cp("[ERR] Linha 9: E20 -> Registro E não compatível com arquivo RZ.")}));
}

TEST_F(ValidationTest, ADuplicateE02IsReportedExceptInRzFiles) {
  auto lines = sampleMfdFile();
  lines.insert(lines.begin() + 2, sampleE02());
  validate(lines);
  EXPECT_EQ(findings(), (Findings{cp("[ERR] Linha 3: E02 -> Foi encontrado mais de um registro tido E02 no arquivo.")}));
  lines = without(without(without(without(lines, "E17"), "E18"), "E19"), "E20");
  lines[0] = sampleE01("RZ ");
  validate(lines);  // nothing about E02; the non-fiscal document taken out leaves its COO missing
  EXPECT_EQ(findings(), (Findings{cp("[ERR] Erro -> COO faltante de numero 000002.")}));
}

TEST_F(ValidationTest, OutOfOrderMessagesFollowTheKind) {
  auto tdm = sampleTdmFile();
  std::swap(tdm[13], tdm[14]);  // E15 before E14
  validate(tdm);
  EXPECT_EQ(findings(), (Findings{cp("[ERR] Os registros encontram-se fora da ordem registro tipo E01, E02, E03, E04, E05, "
                                     "E06,\nE07, E08, E09, E10, E11, E12, E13, E14, E15, E16, E17, E18, E19, E20, E21 e EAD.")}));
  expectMatchesGolden(log(), "validation/golden/tdm_out_of_order.log");

  auto mfd = sampleMfdFile();
  mfd.insert(mfd.begin() + 4, "");  // a blank line
  validate(mfd);
  EXPECT_EQ(findings(), (Findings{cp("[ERR] Os registros encontram-se fora da ordem registro tipo E01, E02, E14, E15, E16, "
                                     "E17, E18, E19, E20, E21 e EAD.")}));
  auto mf = sampleMfFile();
  mf.push_back("");  // an empty last line
  validate(mf);
  EXPECT_EQ(findings(), (Findings{cp("[ERR] Os registros encontram-se fora da ordem registro tipo E01, E02, E03, E04, E05, "
                                     "E06, E07, E08, E09, E10, E11, E12, E13 e EAD.")}));
  auto rz = without(without(without(without(withKind(sampleMfdFile(), "RZ "), "E17"), "E18"), "E19"), "E20");
  std::swap(rz[3], rz[4]);
  validate(rz);
  EXPECT_EQ(findings(),
            (Findings{cp("[ERR] Os registros encontram-se fora da ordem registro tipo E01, E02, E14, E15 e E16 e EAD.")}));
  validate(withKind(tdm, "XYZ"));
  EXPECT_EQ(findings().back(), cp("[ERR] Os registros encontram-se fora da ordem esperada."));
}

TEST_F(ValidationTest, ARecordAfterEadAtTheEndMeansNoEad) {
  auto lines = sampleMfdFile();
  lines.push_back(sampleRecord(21));
  validate(lines);
  EXPECT_EQ(findings(), (Findings{cp("[ERR] Não existe nenhum Registro Tipo EAD no arquivo.")}));
}

TEST_F(ValidationTest, FirstAndSecondLinesMustBeE01AndE02) {
  std::vector<std::string> lines(5000, sampleRecord(14));
  lines.front() = sampleE02();
  validate(lines);
  EXPECT_EQ(findings(), (Findings{cp("[ERR] O primeiro registro do arquivo deve ser do tipo E01.")}));
  validate({sampleE01("TDM")});
  EXPECT_EQ(findings(), (Findings{cp("[ERR] O segundo registro do arquivo deve ser do tipo E02.")}));
  validate({sampleE01("TDM"), "", sampleE02()});
  EXPECT_EQ(findings(), (Findings{cp("[ERR] O segundo registro do arquivo deve ser do tipo E02.")}));
}

TEST_F(ValidationTest, TheSizeScanMeasuresItsElevenTypes) {
  auto lines = sampleMfdFile();
  lines[0] = lines[0].substr(0, 165);
  lines[2] += "X";
  lines.back() = lines.back().substr(0, 200);
  validate(lines);
  EXPECT_EQ(findings(),
            (Findings{cp("[ERR] Linha 1: Tamanho de registro E1 inválido. Esperados 166 caracteres, porém o registro "
                         "apresenta 165 caracteres."),
                      cp("[ERR] Linha 3: Tamanho de registro E14 inválido. Esperados 191 caracteres, porém o registro "
                         "apresenta 192 caracteres."),
                      cp("[ERR] Linha 12: Tamanho de registro EAD inválido. Esperados 259 caracteres, porém o registro "
                         "apresenta 200 caracteres.")}));
  auto mf = sampleMfFile();
  mf[4] += "  ";  // E05: measured by its own check, not by the scan
  validate(mf);
  EXPECT_EQ(findings(), (Findings{cp("[ERR] Linha 5: E05 -> Tamanho de registro inválido. Esperado 82 caracteres e o "
                                     "registro apresenta 84 caracteres.")}));
}

TEST_F(ValidationTest, ASingleWrongSizeIsReportedWhereverItIs) {
  // The structure pass tells whether the size pass has anything to report; one
  // wrong line, first, second, in the middle or last, must still be seen.
  const auto base = sampleMfdFile();
  for (const std::size_t index : {std::size_t{0}, std::size_t{1}, std::size_t{5}, base.size() - 1}) {
    auto lines = base;
    lines[index] += "X";
    validate(lines);
    ASSERT_EQ(findings().size(), 1u) << "line " << index + 1;
    EXPECT_NE(findings().front().find(cformat("Linha %zu: Tamanho de registro", index + 1)), std::string::npos)
        << findings().front();
  }
  validate(base);
  EXPECT_TRUE(findings().empty());
}

TEST_F(ValidationTest, AKindFieldOfStrangeBytesIsJustNoKind) {
  auto lines = sampleMfdFile();
  lines[0].replace(112, 3, std::string("\0\xE9\xFF", 3));
  const auto summary = validate(lines);
  EXPECT_TRUE(summary.ran);
  EXPECT_EQ(findings(), (Findings{cp("[ERR] Linha 1: E01 ->Arquivo entregue não é do tipo MFD conforme comando de geração "
                                     "informado no Registro Tipo E01.")}));
}

}  // namespace
}  // namespace tavex::testing
