// Start directories for the library tests: the simulated ECF (copied from the
// build's staged exemplos/DATAREGIS), an incomplete library and a fake one.
#pragma once

#include <filesystem>
#include <string>

#include "support/files.h"

namespace tavex::testing {

inline const std::filesystem::path kStagedSimulator = std::filesystem::path(TAVEX_BINARY_DIR) / "exemplos" / "DATAREGIS";
inline const std::filesystem::path kIncompleteLibrary =
    std::filesystem::path(TAVEX_BINARY_DIR) / "lib" / "libecf_incompleto.so";
inline constexpr const char* kSimulatorLibrary = "DATAREGIS/libecf_simulado.so";

// Keeps the process's current directory across a test that changes it.
class CurrentDirectoryGuard {
 public:
  CurrentDirectoryGuard() : saved_(std::filesystem::current_path()) {}
  ~CurrentDirectoryGuard() { std::filesystem::current_path(saved_); }

 private:
  std::filesystem::path saved_;
};

// A start directory with DATAREGIS (the simulator and its XML), INCOMPLETO (a
// library lacking entry points) and FALSO (a text file named like a library).
inline void stageLibraries(const TempDir& start) {
  namespace fs = std::filesystem;
  fs::create_directories(start.path() / "DATAREGIS");
  fs::copy(kStagedSimulator / "libecf_simulado.so", start.path() / "DATAREGIS");
  fs::copy(kStagedSimulator / "DATAREGIS.xml", start.path() / "DATAREGIS");
  fs::create_directories(start.path() / "INCOMPLETO");
  fs::copy(kIncompleteLibrary, start.path() / "INCOMPLETO" / "libecf_incompleto.so");
  writeFile(start.file("INCOMPLETO/INCOMPLETO.xml"),
            "<fabricante><dll><nome>libecf_incompleto.so</nome><modelo>I-1</modelo></dll></fabricante>");
  fs::create_directories(start.path() / "FALSO");
  writeFile(start.file("FALSO/falso.so"), "this is not a shared object\n");
  writeFile(start.file("FALSO/FALSO.xml"), "<fabricante><dll><nome>falso.so</nome><modelo>F-1</modelo></dll></fabricante>");
}

}  // namespace tavex::testing
