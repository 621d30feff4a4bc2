// The period dialogs: what each shows, the check each runs on "OK" with its exact
// texts, which box selects which choice, and the opening rules by model group.
#include <gtest/gtest.h>

#include <set>

#include "cotepe/text.h"
#include "printer/period_dialogs.h"
#include "window/period_dialog_state.h"
#include "support/scripted_ui.h"

namespace tavex {
namespace {

using F = PeriodField;

std::vector<std::string> labels(const PeriodDialogDescription& d) {
  std::vector<std::string> out;
  for (const PeriodChoice& c : d.choices) out.push_back(c.label);
  return out;
}
std::vector<std::string> boxLabels(const PeriodDialogDescription& d) {
  std::vector<std::string> out;
  for (const PeriodBox& b : d.boxes) out.push_back(b.label);
  return out;
}
// The choices a user can click.
std::vector<int> enabledChoices(const PeriodDialogDescription& d) {
  std::vector<int> out;
  for (std::size_t i = 0; i < d.choices.size(); ++i)
    if (d.choices[i].visible && d.choices[i].enabled) out.push_back(static_cast<int>(i));
  return out;
}
std::set<F> enabledBoxes(const PeriodDialogDescription& d) {
  std::set<F> out;
  for (const PeriodBox& b : d.boxes)
    if (b.enabled) out.insert(b.field);
  return out;
}

// The message "OK" gives after selecting `choice` and typing `typed`.
std::optional<std::string> okAfter(const PeriodDialogDescription& d, int choice,
                                   std::vector<std::pair<F, std::string>> typed) {
  PeriodDialogState s(d);
  for (auto& [f, t] : typed) s.typeInto(f, t);
  s.selectChoice(choice);
  return s.accept();
}

ModelGroupTest groups(std::set<int> in) {
  return [in](int n) { return in.count(n) > 0; };
}

TEST(PeriodDialogs, EveryMemberHasItsTitleChoicesBoxesAndOpeningChoice) {
  const auto none = groups({});
  struct Expected {
    PeriodDialogDescription d;
    const char* name;
    std::string title;
    std::vector<std::string> choices;
    int initial;
  };
  const std::vector<Expected> all = {
      {printMfDialog(), "CPrintMFDlg", "Impressão da Leitura da Memória Fiscal"_cp, {"Data", "CRZ"}, 0},
      {readMfdDialog(), "CReadMFDDlg", "Gerar Espelho da LMF", {"Data", "CRZ"}, 0},
      {printMfdDialog(), "CPrintMFDDlg", "Impressão da Fita-Detalhe"_cp, {"Total", "COO", "Data"}, 0},
      {espDialog(), "CESP_Dlg", "Gerar Espeho da MFD", {"Data", "COO", "Total"}, 0},
      {cotepeMfDialog(false, none), "CCotepeMF_Dlg", "Gerar Arquivo Binário"_cp, {"Data", "CRZ", "COO", "Total"}, 3},
      {cotepeMfdDialog(none), "CCotepeMFD_Dlg", "Gerar Arquivo Binário"_cp, {"Data", "CRZ", "COO", "Total"}, 3},
      {generateCotepeDialog(), "CGenerateCotepe_Dlg", "Gerar Ato/COTEPE", {"Data", "CRZ", "COO", "Total"}, 3},
  };
  for (const Expected& e : all) {
    EXPECT_EQ(e.d.name, e.name);
    EXPECT_EQ(e.d.title, e.title) << e.name;
    EXPECT_EQ(labels(e.d), e.choices) << e.name;
    EXPECT_EQ(e.d.initialChoice, e.initial) << e.name;
    EXPECT_EQ(PeriodDialogState(e.d).choice(), e.initial) << e.name;
    EXPECT_TRUE(e.d.check) << e.name;
  }
  EXPECT_EQ(printMfDialog().checkBox, "Simplificada");
  EXPECT_EQ(readMfdDialog().checkBox, "Simplificada");
  EXPECT_FALSE(espDialog().checkBox);
  EXPECT_EQ(boxLabels(printMfdDialog()), (std::vector<std::string>{"COO inicial:", "COO final:", "Data inicial:",
                                                                     "Data final:", "*Data referência:"_cp}));
  EXPECT_EQ(printMfdDialog().note, "*Campo opcional");
  EXPECT_EQ(boxLabels(espDialog()),
            (std::vector<std::string>{"Data do movimento inicial: (ddmmaaaa)", "Data do movimento final: (ddmmaaaa)",
                                      "COO inicial:", "COO final:", "Data do movimento: (ddmmaaaa) *"}));
  EXPECT_EQ(boxLabels(cotepeMfDialog(false, none)),
            (std::vector<std::string>{"Data do movimento inicial: (ddmmaaaa)", "Data do movimento final: (ddmmaaaa)",
                                      "CRZ inicial:", "CRZ final:"}));
  const std::string notice =
      "AVISO: Conforme a marca/modelo de ECF, o arquivo binário que será gerado poderá ser um pouco maior que o "
      "período/intervalo selecionado"_cp;
  EXPECT_EQ(cotepeMfDialog(false, none).note, notice);
  EXPECT_EQ(cotepeMfdDialog(none).note, notice);
  EXPECT_EQ(generateCotepeDialog().note, "");
  // The third choice of CCotepeMF_Dlg is never drawn nor clickable.
  EXPECT_EQ(enabledChoices(cotepeMfDialog(false, none)), (std::vector<int>{0, 1, 3}));
}

TEST(PeriodDialogs, CheckAWantsBothBoundsOfTheChosenPeriod) {
  for (const PeriodDialogDescription& d : {printMfDialog(), readMfdDialog()}) {
    EXPECT_EQ(okAfter(d, 0, {{F::DateStart, "01102012"}}),
              "Os campos de data de inicio e data de final devem ser preenchidos no formato ddmmaaaa.");
    EXPECT_EQ(okAfter(d, 1, {{F::CrzStart, "1"}}), "Os campos de CRZ inicial e CRZ final devem ser preenchidos.");
    // Only emptiness counts: a single character or 10,000 of them pass.
    EXPECT_EQ(okAfter(d, 0, {{F::DateStart, "1"}, {F::DateEnd, std::string(10000, 'x')}}), std::nullopt);
    EXPECT_EQ(okAfter(d, 1, {{F::CrzStart, "a"}, {F::CrzEnd, "b"}}), std::nullopt);
    EXPECT_EQ(okAfter(d, 1, {{F::DateStart, "01102012"}, {F::DateEnd, "05102012"}}),
              "Os campos de CRZ inicial e CRZ final devem ser preenchidos.")
        << "the other period's boxes do not count";
  }
}

TEST(PeriodDialogs, CheckBWantsCooBoundsAnOptionalReferenceDateAndDatesOfEightOrMore) {
  const PeriodDialogDescription d = printMfdDialog();
  EXPECT_EQ(okAfter(d, 0, {}), std::nullopt) << "Total";
  EXPECT_EQ(okAfter(d, 1, {{F::CooStart, "1"}}), "Os campos de COO inicial e COO final devem ser preenchidos.");
  EXPECT_EQ(okAfter(d, 1, {{F::CooStart, "1"}, {F::CooEnd, "2"}}), std::nullopt) << "empty reference date";
  EXPECT_EQ(okAfter(d, 1, {{F::CooStart, "1"}, {F::CooEnd, "2"}, {F::ReferenceDate, "01102"}}),
            "O campo de data de referência deve ser preenchido no formato ddmmaaaa."_cp);
  EXPECT_EQ(okAfter(d, 1, {{F::CooStart, "1"}, {F::CooEnd, "2"}, {F::ReferenceDate, std::string(10000, '9')}}),
            std::nullopt);
  // Dates need at least eight characters, never at most: 8 and 9 pass here.
  EXPECT_EQ(okAfter(d, 2, {{F::DateStart, "01102012"}, {F::DateEnd, "051020121"}}), std::nullopt);
  EXPECT_EQ(okAfter(d, 2, {{F::DateStart, "0110201"}, {F::DateEnd, "05102012"}}),
            "Os campos de data de inicio e data de final devem ser preenchidos no formato ddmmaaaa.");
}

TEST(PeriodDialogs, ChecksCToFBoundTheLengths) {
  const auto none = groups({});
  const std::string excedem = "Campos com as datas excedem o numero de caracteres.";
  const std::string incompletos = "Campos com as datas incompletos.";
  // The same input CPrintMFDDlg accepts.
  const std::vector<std::pair<F, std::string>> eightAndNine = {{F::DateStart, "01102012"}, {F::DateEnd, "051020121"}};
  EXPECT_EQ(okAfter(espDialog(), 0, eightAndNine), excedem);
  EXPECT_EQ(okAfter(cotepeMfDialog(false, none), 0, eightAndNine), excedem);
  EXPECT_EQ(okAfter(cotepeMfdDialog(none), 0, eightAndNine), excedem);
  EXPECT_EQ(okAfter(generateCotepeDialog(), 0, eightAndNine), "Campos com as datas excede o numero de caracteres.");
  // Too long wins over too short.
  EXPECT_EQ(okAfter(espDialog(), 0, {{F::DateStart, "1"}, {F::DateEnd, std::string(10000, '1')}}), excedem);
  EXPECT_EQ(okAfter(espDialog(), 0, {{F::DateStart, "01102012"}}), incompletos);
  EXPECT_EQ(okAfter(generateCotepeDialog(), 0, {{F::DateStart, "0110201"}, {F::DateEnd, "05102012"}}), incompletos);
  EXPECT_EQ(okAfter(espDialog(), 0, {{F::DateStart, "ab/cd/ef"}, {F::DateEnd, "xxxxxxxx"}}), std::nullopt)
      << "only lengths are checked";

  // COO (C, E, F) and CRZ (D, E, F): at most six characters, none empty.
  const std::string cooLong = "Campos com COO excedem o numero de caracteres.";
  const std::string cooShort = "Campos com COO incompletos.";
  const std::string crzLong = "Campos com CRZ excedem o numero de caracteres.";
  const std::string crzShort = "Campos com CRZ incompletos.";
  EXPECT_EQ(okAfter(espDialog(), 1, {{F::CooStart, "1234567"}}), cooLong);
  EXPECT_EQ(okAfter(espDialog(), 1, {{F::CooStart, "1"}, {F::CooEnd, "1234567"}}), cooLong);
  EXPECT_EQ(okAfter(espDialog(), 1, {{F::CooStart, "123456"}}), cooShort);
  EXPECT_EQ(okAfter(espDialog(), 1, {{F::CooStart, "123456"}, {F::CooEnd, "abc"}}), std::nullopt);
  EXPECT_EQ(okAfter(cotepeMfDialog(false, none), 1, {{F::CrzStart, "1234567"}, {F::CrzEnd, "1234567"}}), crzLong);
  EXPECT_EQ(okAfter(cotepeMfDialog(false, none), 1, {{F::CrzStart, "1"}}), crzShort);
  EXPECT_EQ(okAfter(cotepeMfdDialog(none), 1, {{F::CrzStart, "1234567"}, {F::CrzEnd, "1234567"}}), crzLong);
  EXPECT_EQ(okAfter(cotepeMfdDialog(none), 1, {{F::CrzStart, "12"}}), crzShort);
  EXPECT_EQ(okAfter(cotepeMfdDialog(none), 2, {{F::CooStart, std::string(10000, '7')}}), cooLong);
  EXPECT_EQ(okAfter(generateCotepeDialog(), 2, {{F::CooEnd, "1"}}), cooShort);
  EXPECT_EQ(okAfter(generateCotepeDialog(), 1, {{F::CrzStart, "1"}, {F::CrzEnd, "2"}}), std::nullopt);
  for (const auto& d : {espDialog()}) EXPECT_EQ(okAfter(d, 2, {}), std::nullopt) << "Total";
  for (const auto& d : {cotepeMfDialog(false, none), cotepeMfdDialog(none), generateCotepeDialog()})
    EXPECT_EQ(okAfter(d, 3, {{F::CooStart, std::string(10000, '7')}}), std::nullopt) << d.name << " Total";
}

TEST(PeriodDialogs, TypingIntoABoundBoxSelectsItsChoice) {
  PeriodDialogState esp(espDialog());
  ASSERT_EQ(esp.choice(), 0);
  esp.typeInto(F::CooStart, "1");
  EXPECT_EQ(esp.choice(), 1) << "a digit in \"COO inicial:\" switches from Data to COO";
  esp.typeInto(F::ReferenceDate, "01102012");
  EXPECT_EQ(esp.choice(), 1) << "the movement date belongs to no choice";
  esp.typeInto(F::DateEnd, "");
  EXPECT_EQ(esp.choice(), 0) << "every change of the text selects, emptying included";
  esp.typeInto(F::CrzStart, "5");
  EXPECT_EQ(esp.answer().crzStart, "") << "CESP_Dlg has no CRZ box";

  PeriodDialogState fitaDetalhe(printMfdDialog());
  fitaDetalhe.typeInto(F::ReferenceDate, "0");
  EXPECT_EQ(fitaDetalhe.choice(), 1) << "the reference date selects COO";
  fitaDetalhe.typeInto(F::DateStart, "0");
  EXPECT_EQ(fitaDetalhe.choice(), 2);

  PeriodDialogState mf(printMfDialog());
  mf.typeInto(F::CrzEnd, "9");
  EXPECT_EQ(mf.choice(), 1);

  PeriodDialogState cotepe(generateCotepeDialog());
  cotepe.typeInto(F::CooStart, "1");
  cotepe.typeInto(F::DateStart, "01102012");
  EXPECT_EQ(cotepe.choice(), 3) << "typing does not change CGenerateCotepe_Dlg's choice";
  EXPECT_EQ(cotepe.answer().cooStart, "1");
  cotepe.selectChoice(2);
  EXPECT_EQ(cotepe.choice(), 2);
}

TEST(PeriodDialogs, BinaryFileDialogsOpenByModelGroup) {
  using Fs = std::set<F>;
  const Fs dateAndCrz = {F::DateStart, F::DateEnd, F::CrzStart, F::CrzEnd};
  const Fs dates = {F::DateStart, F::DateEnd};
  const Fs crz = {F::CrzStart, F::CrzEnd};
  const Fs coo = {F::CooStart, F::CooEnd};

  // CCotepeMF_Dlg.
  EXPECT_EQ(enabledChoices(cotepeMfDialog(true, groups({}))), (std::vector<int>{0, 1, 3}));
  EXPECT_EQ(enabledBoxes(cotepeMfDialog(true, groups({}))), dateAndCrz);
  EXPECT_EQ(enabledChoices(cotepeMfDialog(false, groups({3}))), (std::vector<int>{3}));
  EXPECT_EQ(enabledBoxes(cotepeMfDialog(false, groups({3}))), Fs{});
  EXPECT_EQ(enabledChoices(cotepeMfDialog(true, groups({4}))), (std::vector<int>{0, 3}));
  EXPECT_EQ(enabledBoxes(cotepeMfDialog(true, groups({4}))), dates);
  EXPECT_EQ(enabledChoices(cotepeMfDialog(false, groups({4}))), (std::vector<int>{0, 1, 3})) << "MF, not TDM";
  EXPECT_EQ(enabledChoices(cotepeMfDialog(true, groups({2, 6}))), (std::vector<int>{0, 1, 3}));

  // CCotepeMFD_Dlg: group 4 first, then 3 or 6, then 2.
  EXPECT_EQ(enabledChoices(cotepeMfdDialog(groups({}))), (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(enabledChoices(cotepeMfdDialog(groups({4}))), (std::vector<int>{0, 2, 3}));
  EXPECT_EQ(enabledBoxes(cotepeMfdDialog(groups({4}))), [&] { Fs s = dates; s.insert(coo.begin(), coo.end()); return s; }());
  EXPECT_EQ(enabledChoices(cotepeMfdDialog(groups({4, 3}))), (std::vector<int>{0, 2, 3}));
  EXPECT_EQ(enabledChoices(cotepeMfdDialog(groups({3}))), (std::vector<int>{3}));
  EXPECT_EQ(enabledChoices(cotepeMfdDialog(groups({3, 6}))), (std::vector<int>{3}));
  EXPECT_EQ(enabledChoices(cotepeMfdDialog(groups({6}))), (std::vector<int>{3}));
  EXPECT_EQ(enabledBoxes(cotepeMfdDialog(groups({6}))), Fs{});
  EXPECT_EQ(enabledChoices(cotepeMfdDialog(groups({2}))), (std::vector<int>{0, 1, 3}));
  EXPECT_EQ(enabledBoxes(cotepeMfdDialog(groups({2}))), [&] { Fs s = dates; s.insert(crz.begin(), crz.end()); return s; }());
  for (const auto& d : {cotepeMfdDialog(groups({3})), cotepeMfDialog(true, groups({3}))})
    EXPECT_EQ(d.initialChoice, 3);

  // A disabled choice cannot be clicked, a disabled box not typed into.
  PeriodDialogState s(cotepeMfdDialog(groups({6})));
  s.selectChoice(0);
  s.typeInto(F::CooStart, "1");
  EXPECT_EQ(s.choice(), 3);
  EXPECT_EQ(s.answer().cooStart, "");
}

TEST(PeriodDialogs, AFailedCheckKeepsTheDialogOpenWithTheUsersInput) {
  testing::ScriptedUserInterface ui;
  ui.answerPeriod({{.typed = {{F::CrzStart, "1234567"}, {F::CrzEnd, "2"}}},
                   {.typed = {{F::CrzStart, "1"}}}});
  const auto answer = ui.askPeriod(cotepeMfdDialog(groups({})));
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->choice, 1);
  EXPECT_EQ(answer->crzStart, "1");
  EXPECT_EQ(answer->crzEnd, "2") << "kept from the first attempt";
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0],
            (testing::ShownMessage{"Campos com CRZ excedem o numero de caracteres.", "Erro!", Icon::Error}));

  ui.answerPeriod({{.typed = {{F::DateStart, "1"}}}, {.ok = false}});
  EXPECT_FALSE(ui.askPeriod(espDialog())) << "Cancel closes without checks";
  EXPECT_EQ(ui.messages.back().text, "Campos com as datas incompletos.");
}

}  // namespace
}  // namespace tavex
