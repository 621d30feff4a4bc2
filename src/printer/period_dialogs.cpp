#include "printer/period_dialogs.h"

#include <string_view>
#include <vector>

#include "cotepe/text.h"

namespace tavex {

namespace {

using Check = std::optional<std::string>;

// The check texts.
constexpr const char* kDatesNotFilled =
    "Os campos de data de inicio e data de final devem ser preenchidos no formato ddmmaaaa.";
constexpr const char* kCrzNotFilled = "Os campos de CRZ inicial e CRZ final devem ser preenchidos.";
constexpr const char* kCooNotFilled = "Os campos de COO inicial e COO final devem ser preenchidos.";
const char* const kReferenceDateFormat = "O campo de data de referência deve ser preenchido no formato ddmmaaaa."_cp;
constexpr const char* kDatesTooLong = "Campos com as datas excedem o numero de caracteres.";
constexpr const char* kDatesTooLongSingular = "Campos com as datas excede o numero de caracteres.";
constexpr const char* kDatesIncomplete = "Campos com as datas incompletos.";
constexpr const char* kCooTooLong = "Campos com COO excedem o numero de caracteres.";
constexpr const char* kCooIncomplete = "Campos com COO incompletos.";
constexpr const char* kCrzTooLong = "Campos com CRZ excedem o numero de caracteres.";
constexpr const char* kCrzIncomplete = "Campos com CRZ incompletos.";

const char* const kBinaryFileNotice =
    "AVISO: Conforme a marca/modelo de ECF, o arquivo binário que será gerado poderá ser um pouco maior que o "
    "período/intervalo selecionado"_cp;

// Lengths are counted in characters of the text as typed (one byte each in cp1252).
bool longerThan(const std::string& s, std::size_t n) { return s.size() > n; }

// Both dates of exactly eight characters ("ddmmaaaa"); `tooLong` is the member's text.
Check checkDates(const PeriodAnswer& a, const char* tooLong) {
  if (longerThan(a.dateStart, 8) || longerThan(a.dateEnd, 8)) return tooLong;
  if (a.dateStart.size() < 8 || a.dateEnd.size() < 8) return kDatesIncomplete;
  return std::nullopt;
}

Check checkCounters(const std::string& first, const std::string& last, const char* tooLong, const char* incomplete) {
  if (longerThan(first, 6) || longerThan(last, 6)) return tooLong;
  if (first.empty() || last.empty()) return incomplete;
  return std::nullopt;
}

// A: 0 "Data", 1 "CRZ": both bounds filled in.
Check checkA(const PeriodAnswer& a) {
  if (a.choice == 0 && (a.dateStart.empty() || a.dateEnd.empty())) return kDatesNotFilled;
  if (a.choice == 1 && (a.crzStart.empty() || a.crzEnd.empty())) return kCrzNotFilled;
  return std::nullopt;
}

// B: 1 "COO" filled in and an optional reference date of eight or more characters;
// 2 "Data": both dates of eight or more characters.
Check checkB(const PeriodAnswer& a) {
  if (a.choice == 1) {
    if (a.cooStart.empty() || a.cooEnd.empty()) return kCooNotFilled;
    if (!a.referenceDate.empty() && a.referenceDate.size() < 8) return kReferenceDateFormat;
  }
  if (a.choice == 2 && (a.dateStart.size() < 8 || a.dateEnd.size() < 8)) return kDatesNotFilled;
  return std::nullopt;
}

// C: 0 "Data", 1 "COO".
Check checkC(const PeriodAnswer& a) {
  if (a.choice == 0) return checkDates(a, kDatesTooLong);
  if (a.choice == 1) return checkCounters(a.cooStart, a.cooEnd, kCooTooLong, kCooIncomplete);
  return std::nullopt;
}

// D: 0 "Data", 1 "CRZ".
Check checkD(const PeriodAnswer& a) {
  if (a.choice == 0) return checkDates(a, kDatesTooLong);
  if (a.choice == 1) return checkCounters(a.crzStart, a.crzEnd, kCrzTooLong, kCrzIncomplete);
  return std::nullopt;
}

// E and F: 0 "Data", 1 "CRZ", 2 "COO"; F words its long-dates text in the singular.
Check checkDatesCrzCoo(const PeriodAnswer& a, const char* datesTooLong) {
  if (a.choice == 0) return checkDates(a, datesTooLong);
  if (a.choice == 1) return checkCounters(a.crzStart, a.crzEnd, kCrzTooLong, kCrzIncomplete);
  if (a.choice == 2) return checkCounters(a.cooStart, a.cooEnd, kCooTooLong, kCooIncomplete);
  return std::nullopt;
}

Check checkE(const PeriodAnswer& a) { return checkDatesCrzCoo(a, kDatesTooLong); }
Check checkF(const PeriodAnswer& a) { return checkDatesCrzCoo(a, kDatesTooLongSingular); }

// Box sets; `choice` is the choice the pair belongs to (and selects when typed into).
std::vector<PeriodBox> shortDateBoxes(int choice) {
  return {{PeriodField::DateStart, "Data inicial:", choice, choice}, {PeriodField::DateEnd, "Data final:", choice, choice}};
}
std::vector<PeriodBox> movementDateBoxes(int choice) {
  return {{PeriodField::DateStart, "Data do movimento inicial: (ddmmaaaa)", choice, choice},
          {PeriodField::DateEnd, "Data do movimento final: (ddmmaaaa)", choice, choice}};
}
std::vector<PeriodBox> crzBoxes(int choice) {
  return {{PeriodField::CrzStart, "CRZ inicial:", choice, choice}, {PeriodField::CrzEnd, "CRZ final:", choice, choice}};
}
std::vector<PeriodBox> cooBoxes(int choice) {
  return {{PeriodField::CooStart, "COO inicial:", choice, choice}, {PeriodField::CooEnd, "COO final:", choice, choice}};
}

std::vector<PeriodBox> concat(std::initializer_list<std::vector<PeriodBox>> parts) {
  std::vector<PeriodBox> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

// Disables choice `index` and every box belonging to it.
void disableChoice(PeriodDialogDescription& d, int index) {
  d.choices[static_cast<std::size_t>(index)].enabled = false;
  for (PeriodBox& b : d.boxes)
    if (b.owner == index) b.enabled = false;
}

// The Data / CRZ dialogs of the fiscal-memory reading and its mirror.
PeriodDialogDescription dateOrCrzDialog(const char* name, std::string title) {
  PeriodDialogDescription d;
  d.name = name;
  d.title = std::move(title);
  d.choices = {{"Data"}, {"CRZ"}};
  d.boxes = concat({shortDateBoxes(0), crzBoxes(1)});
  d.checkBox = "Simplificada";
  d.initialChoice = 0;
  d.check = checkA;
  return d;
}

}  // namespace

PeriodDialogDescription printMfDialog() {
  return dateOrCrzDialog("CPrintMFDlg", "Impressão da Leitura da Memória Fiscal"_cp);
}

PeriodDialogDescription readMfdDialog() { return dateOrCrzDialog("CReadMFDDlg", "Gerar Espelho da LMF"); }

PeriodDialogDescription printMfdDialog() {
  PeriodDialogDescription d;
  d.name = "CPrintMFDDlg";
  d.title = "Impressão da Fita-Detalhe"_cp;
  d.choices = {{"Total"}, {"COO"}, {"Data"}};
  d.boxes = concat({cooBoxes(1), shortDateBoxes(2), {{PeriodField::ReferenceDate, "*Data referência:"_cp, -1, 1}}});
  d.note = "*Campo opcional";
  d.initialChoice = 0;
  d.check = checkB;
  return d;
}

PeriodDialogDescription espDialog() {
  PeriodDialogDescription d;
  d.name = "CESP_Dlg";
  d.title = "Gerar Espeho da MFD";
  d.choices = {{"Data"}, {"COO"}, {"Total"}};
  d.boxes = concat({movementDateBoxes(0), cooBoxes(1), {{PeriodField::ReferenceDate, "Data do movimento: (ddmmaaaa) *", -1, -1}}});
  d.initialChoice = 0;
  d.check = checkC;
  return d;
}

PeriodDialogDescription cotepeMfDialog(bool kindIsTdm, const ModelGroupTest& modelInGroup) {
  PeriodDialogDescription d;
  d.name = "CCotepeMF_Dlg";
  d.title = "Gerar Arquivo Binário"_cp;
  d.choices = {{"Data"}, {"CRZ"}, {"COO", false, false}, {"Total"}};
  d.boxes = concat({movementDateBoxes(0), crzBoxes(1)});
  d.note = kBinaryFileNotice;
  d.initialChoice = 3;
  d.check = checkD;
  if (modelInGroup(3)) {
    disableChoice(d, 0);
    disableChoice(d, 1);
  }
  if (kindIsTdm && modelInGroup(4)) disableChoice(d, 1);
  return d;
}

PeriodDialogDescription cotepeMfdDialog(const ModelGroupTest& modelInGroup) {
  PeriodDialogDescription d;
  d.name = "CCotepeMFD_Dlg";
  d.title = "Gerar Arquivo Binário"_cp;
  d.choices = {{"Data"}, {"CRZ"}, {"COO"}, {"Total"}};
  d.boxes = concat({movementDateBoxes(0), crzBoxes(1), cooBoxes(2)});
  d.note = kBinaryFileNotice;
  d.initialChoice = 3;
  d.check = checkE;
  if (modelInGroup(4)) {
    disableChoice(d, 1);
  } else if (modelInGroup(3) || modelInGroup(6)) {
    disableChoice(d, 0);
    disableChoice(d, 1);
    disableChoice(d, 2);
  } else if (modelInGroup(2)) {
    disableChoice(d, 2);
  }
  return d;
}

PeriodDialogDescription generateCotepeDialog() {
  PeriodDialogDescription d;
  d.name = "CGenerateCotepe_Dlg";
  d.title = "Gerar Ato/COTEPE";
  d.choices = {{"Data"}, {"CRZ"}, {"COO"}, {"Total"}};
  d.boxes = concat({movementDateBoxes(0), crzBoxes(1), cooBoxes(2)});
  d.initialChoice = 3;
  d.check = checkF;
  // Typing here leaves the choice alone; the boxes still belong to their choices.
  for (PeriodBox& b : d.boxes) b.selects = -1;
  return d;
}

}  // namespace tavex
