// The main window's values: what its controls and its results box show, read and
// written by the window's own commands (MainDialog is one of these) and by the
// printer commands. One object per window, passed by reference; never copied to
// run a command.
#pragma once

#include <string>

namespace tavex {

struct WindowState {
  std::string manufacturerName;        // "Fabricante:", a catalogue folder's name (file-system text, UTF-8)
  std::string modelName;               // "Modelo:"
  std::string portName = "COM1";       // "Porta:" (Open takes the catalogue's connection port)
  int acquisitionKind = 0;             // 0 MF, 1 MFD, 2 TDM, 3 RZ
  std::string outputText;              // the results box: cp1252, CR LF
  std::string currentCotepePath;       // the COTEPE file the validation works on (file-system path, UTF-8)
  std::string toleranceText = "0,00";  // "Tolerancia: R$", cp1252
  bool readBitmapEnabled = true;       // the "Ler Bitmap RZ" button
};

}  // namespace tavex
