// The period dialog family: the seven dialogs in which a printer command asks for
// a period (dates, CRZ or COO bounds, or everything), as descriptions the user
// interface draws (ui/period_dialog.h), with the check each runs on "OK" and the
// opening rules by model group.
//
// Choices are numbered in the order listed; a command reads the chosen index as
// the period type it hands to the library.
//   CPrintMFDlg, CReadMFDDlg   0 Data, 1 CRZ; "Simplificada"            check A
//   CPrintMFDDlg               0 Total, 1 COO, 2 Data; reference date   check B
//   CESP_Dlg                   0 Data, 1 COO, 2 Total; movement date    check C
//   CCotepeMF_Dlg              0 Data, 1 CRZ, 2 (hidden), 3 Total       check D
//   CCotepeMFD_Dlg             0 Data, 1 CRZ, 2 COO, 3 Total            check E
//   CGenerateCotepe_Dlg        0 Data, 1 CRZ, 2 COO, 3 Total            check F
// Typing into a bound box selects the choice it belongs to (in CPrintMFDDlg the
// reference date selects COO), except in CGenerateCotepe_Dlg.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "port/period_dialog.h"

namespace tavex {

// Whether the selected model is in model group n (ManufacturerCatalogue::modelInGroup).
using ModelGroupTest = std::function<bool(int)>;

PeriodDialogDescription printMfDialog();       // CPrintMFDlg "Impressão da Leitura da Memória Fiscal"
PeriodDialogDescription readMfdDialog();       // CReadMFDDlg "Gerar Espelho da LMF"
PeriodDialogDescription printMfdDialog();      // CPrintMFDDlg "Impressão da Fita-Detalhe"
PeriodDialogDescription espDialog();           // CESP_Dlg "Gerar Espeho da MFD"
// CCotepeMF_Dlg "Gerar Arquivo Binário": opens on "Total"; group 3 leaves only
// "Total"; kind TDM with a group-4 model disables "CRZ" and its boxes.
PeriodDialogDescription cotepeMfDialog(bool kindIsTdm, const ModelGroupTest& modelInGroup);
// CCotepeMFD_Dlg "Gerar Arquivo Binário": opens on "Total"; group 4 disables "CRZ",
// else groups 3 or 6 leave only "Total", else group 2 disables "COO".
PeriodDialogDescription cotepeMfdDialog(const ModelGroupTest& modelInGroup);
PeriodDialogDescription generateCotepeDialog();  // CGenerateCotepe_Dlg "Gerar Ato/COTEPE"

}  // namespace tavex
