// The manufacturer catalogue: one folder per manufacturer in the start directory,
// each with an XML file (F/F.xml) naming its libraries, the models each serves and
// the RSA public key those models sign with. Built once at start-up (which also
// creates each manufacturer's working folders); then it answers the main window's
// choices: which library a model uses, the model groups that change printer
// commands, and the key for the EAD signature check (as the RSA key that check takes).
//
// Owned by whoever drives the window or the command line; used from the
// user-interface thread only. Entries are listed in full: no limits on counts or
// name lengths.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "printer/library_loader.h"
#include "signature/signed_file.h"
#include "port/user_interface.h"

namespace tavex {

// The working folders created in every manufacturer's folder (file-system names, UTF-8).
inline constexpr const char* kWorkingFolders[] = {
    "Arquivos TXT Formatados", "Arquivos TXT Espelho", "Arquivos Binários", "Arquivos SB",
    "Arquivos MF",             "MDB",                  "Arquivos de Trabalho",
};

// Title of the box that shows a manufacturer file's XML error.
inline constexpr const char* kDefaultTitle = "Tavex";

// A key as a manufacturer file gives it. Its texts are read by rsaBytesFromKeyText
// (signature/signed_file.h), as every key file is.
struct ModelKey {
  RsaBytes modulus{};
  RsaBytes exponent{};
  bool modulusPresent = false;
  bool exponentPresent = false;
  bool wellFormed = true;  // false when a key text held other than hexadecimal digits

  // The key as the signature check takes it.
  RsaPublicKey rsaKey() const { return RsaPublicKey{modulus, exponent, wellFormed}; }
};

struct ModelEntry {
  std::string name;         // text of a `modelo` element
  std::string libraryFile;  // text of the `nome` of its `dll` (carried over from an earlier `dll`)
  ModelKey key;             // the key read last before the model
};

struct ManufacturerEntry {
  std::string name;  // the folder's name (file-system text, UTF-8)
  std::vector<ModelEntry> models;  // in document order, up to the first empty `modelo`
  bool hasSeveralKeys = false;  // the file holds more than one `modulo`
  ModelKey fileKey;             // the key of the file's `chave` holding its first `modulo`
};

// True when (manufacturer, model) is one of the pairs of model group n (2 to 6),
// whole texts compared without regard to letter case; false for any other n.
bool isModelInGroup(int n, std::string_view manufacturer, std::string_view model);

class ManufacturerCatalogue {
 public:
  // Reads every entry F of `startDirectory` that has a readable F/F.xml with a
  // `fabricante` root, in name order, and creates the working folders of each
  // manufacturer whose file names a library. A file that does not parse shows the
  // reader's error (title "Tavex", warning icon) and is skipped unless the reader
  // still holds a `fabricante` root. Unreadable entries are skipped silently.
  void loadCatalogue(UserInterface& ui, const std::filesystem::path& startDirectory);

  const std::vector<ManufacturerEntry>& entries() const { return entries_; }
  const std::filesystem::path& startDirectory() const { return startDirectory_; }

  // A new manufacturer choice: returns the model names for the "Modelo:" list (of
  // every entry with that exact name), sets mdbDirectory and clears the selected
  // pair, so no model group applies. libraryPath stays as the last model left it.
  std::vector<std::string> selectManufacturer(const std::string& manufacturerName);

  // A new model choice: for every matching model sets libraryPath and tries to load
  // the library (reporting a missing file or entry point through `ui`), then
  // releases it; records the port and the selected pair. The window then disables
  // the MFD, TDM and RZ choices when modelInGroup(5).
  void selectModel(UserInterface& ui, const std::string& manufacturerName, const std::string& modelName,
                   const std::string& portName);

  // A new port choice.
  void selectPort(const std::string& portName, const std::string& modelName);

  // Whether the selected pair is in model group n.
  bool modelInGroup(int n) const { return isModelInGroup(n, selectedManufacturer_, selectedModel_); }

  // The key of the chosen model, or nothing after an error box ("Erro!"):
  // "Não há fabricante selecionado.", "Favor selecionar o modelo de impressora!",
  // "Módulo da chave não encontrado no arquivo XML!", "Expoente Público da chave não
  // encontrado no arquivo XML!". A manufacturer with one key gives that key for any model.
  std::optional<ModelKey> keyOfSelection(UserInterface& ui, const std::string& manufacturerName,
                                         const std::string& modelName);
  // The same key (or nothing, after the same boxes) as the RSA key of the EAD
  // signature check: what the window and tavex-cli hand to verifyEadSignature.
  std::optional<RsaPublicKey> rsaKeyOfSelection(UserInterface& ui, const std::string& manufacturerName,
                                                const std::string& modelName);

  // A folder where a library missing from its manufacturer's folder is looked for
  // (the installed program's library folder); empty, the default, for none.
  void setLibraryFallback(std::filesystem::path folder) { libraryFallback_ = std::move(folder); }
  // The file the library of `manufacturer`'s `libraryFile` is loaded from.
  std::filesystem::path libraryFileOf(const std::string& manufacturer, const std::string& libraryFile) const {
    return manufacturerLibraryFile(startDirectory_, manufacturer + "/" + libraryFile, libraryFallback_);
  }

  // Loads the library of the last model choice (see loadManufacturerLibrary) and
  // keeps it until unloadManufacturerLibrary; nothing after an error box.
  std::shared_ptr<const ManufacturerLibrary> loadManufacturerLibrary(UserInterface& ui);
  // Drops the catalogue's hold on the loaded library (a worker's copy keeps it mapped).
  void unloadManufacturerLibrary() { loaded_.reset(); }
  const std::shared_ptr<const ManufacturerLibrary>& loadedLibrary() const { return loaded_; }

  // Selection state.
  const std::string& selectedManufacturer() const { return selectedManufacturer_; }
  const std::string& selectedModel() const { return selectedModel_; }
  const std::string& libraryPath() const { return libraryPath_; }                    // "MANUFACTURER/file"
  const std::string& manufacturerDirectory() const { return manufacturerDirectory_; }  // "MANUFACTURER"
  const std::string& connectionPort() const { return connectionPort_; }
  const std::string& connectionModel() const { return connectionModel_; }
  // "START/MANUFACTURER/MDB/": the prefix of database file names.
  const std::string& mdbDirectory() const { return mdbDirectory_; }

 private:
  void setMdbDirectory(const std::string& manufacturerName);

  std::filesystem::path startDirectory_;
  std::filesystem::path libraryFallback_;
  std::vector<ManufacturerEntry> entries_;
  std::string selectedManufacturer_;
  std::string selectedModel_;
  std::string libraryPath_;
  std::string manufacturerDirectory_;
  std::string connectionPort_;
  std::string connectionModel_;
  std::string mdbDirectory_;
  std::shared_ptr<const ManufacturerLibrary> loaded_;
};

}  // namespace tavex
