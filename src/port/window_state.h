// The main window's values: what its controls and its results box show, read and
// written by the window's own commands (MainDialog is one of these) and by the
// printer commands. One object per window, passed by reference; never copied to
// run a command.
#pragma once

#include <string>

namespace tavex {

// The memory a COTEPE acquisition reads. The value is the digit the manufacturer
// library takes for it, and the id of its choice in the window.
enum class AcquisitionKind { Mf = 0, Mfd = 1, Tdm = 2, Rz = 3 };

// A choice id as a kind: MF for anything that is not one (no choice checked).
constexpr AcquisitionKind acquisitionKindOf(int id) {
  return id >= 1 && id <= 3 ? static_cast<AcquisitionKind>(id) : AcquisitionKind::Mf;
}

constexpr int acquisitionKindId(AcquisitionKind kind) { return static_cast<int>(kind); }

struct WindowState {
  std::string manufacturerName;        // "Fabricante:", a catalogue folder's name (file-system text, UTF-8)
  std::string modelName;               // "Modelo:"
  std::string portName = "COM1";       // "Porta:" (Open takes the catalogue's connection port)
  AcquisitionKind acquisitionKind = AcquisitionKind::Mf;
  std::string outputText;              // the results box: cp1252, CR LF
  std::string currentCotepePath;       // the COTEPE file the validation works on (file-system path, UTF-8)
  std::string toleranceText = "0,00";  // "Tolerancia: R$", cp1252
  bool readBitmapEnabled = true;       // the "Ler Bitmap RZ" button
};

}  // namespace tavex
