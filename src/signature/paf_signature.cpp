#include "signature/paf_signature.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <system_error>

#include "cotepe/text.h"
#include "signature/ead_verification.h"
#include "xml/xml_document.h"

namespace tavex {

namespace {

namespace fs = std::filesystem;

// The whole content of a regular file; nothing when it cannot be read.
std::optional<std::string> readWholeFile(const fs::path& path) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return text;
}

// Loads a key file into `doc`; a parse failure is shown and the caller goes on with
// whatever the reader holds (nothing).
void loadKeyFile(UserInterface& ui, XmlDocument& doc, std::string text) {
  if (!doc.setDoc(std::move(text))) {
    const std::string error = doc.getError();
    if (!error.empty()) ui.showMessage(error, "", Icon::None);
  }
}

void showError(UserInterface& ui, const char* text) { ui.showMessage(text, "Erro!", Icon::Error); }

}  // namespace

std::vector<std::string> listSoftwareHouses(UserInterface& ui, const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::optional<std::string> text = readWholeFile(it->path());
    if (!text) continue;
    XmlDocument doc;
    loadKeyFile(ui, doc, std::move(*text));
    if (!doc.findElem("empresa_desenvolvedora") || !doc.intoElem() || !doc.findElem("nome")) continue;
    const std::string name = doc.getData();
    const std::string fileName = utf8ToCp1252(it->path().filename().string());
    if (!name.empty() && fileName.size() == name.size() + 4 && fileName.find(name) != std::string::npos)
      names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return names;
}

std::optional<RsaPublicKey> softwareHouseKey(UserInterface& ui, const std::string& selectedHouse,
                                             const fs::path& folder) {
  if (selectedHouse.empty()) {
    showError(ui, "Não há Software House selecionada."_cp);
    return std::nullopt;
  }
  // The name is a file name, never a path: nothing outside the folder is read.
  const bool leavesFolder = selectedHouse.find('/') != std::string::npos ||
                            selectedHouse.find("..") != std::string::npos ||
                            selectedHouse.find('\0') != std::string::npos;
  std::optional<std::string> text;
  if (!leavesFolder) text = readWholeFile(folder / (cp1252ToUtf8(selectedHouse) + ".xml"));
  if (!text) {
    showError(ui, "Não encontrado arquivo XML da Software House selecionada."_cp);
    return std::nullopt;
  }

  XmlDocument doc;
  loadKeyFile(ui, doc, std::move(*text));
  RsaPublicKey key;
  bool modulusPresent = false, exponentPresent = false;
  auto readKeyText = [&](RsaBytes& into) {
    const std::optional<RsaBytes> bytes = rsaBytesFromKeyText(doc.getData());
    if (bytes) {
      into = *bytes;
    } else {
      key.wellFormed = false;
    }
  };
  if (doc.findElem("empresa_desenvolvedora")) {
    doc.intoElem();
    if (doc.findElem("nome") && doc.getData() != selectedHouse) {
      showError(ui, "Arquivo XML não é da Software House selecionada."_cp);
      return std::nullopt;
    }
    if (doc.findElem("chave")) {
      doc.intoElem();
      if (doc.findElem("modulo")) {
        readKeyText(key.modulus);
        modulusPresent = true;
      }
      if (doc.findElem("expoente_publico")) {
        readKeyText(key.exponent);
        exponentPresent = true;
      }
      doc.outOfElem();
    }
  }
  if (!modulusPresent) {
    showError(ui, "Módulo da chave não encontrado no arquivo XML!"_cp);
    return std::nullopt;
  }
  if (!exponentPresent) {
    showError(ui, "Expoente Público da chave não encontrado no arquivo XML!"_cp);
    return std::nullopt;
  }
  return key;
}

std::optional<SignatureVerdict> validatePafSignature(UserInterface& ui, const std::string& selectedHouse,
                                                     const fs::path& folder) {
  // The same check as the EAD command's, with the software house's key.
  return verifyEadSignature(ui, [&] { return softwareHouseKey(ui, selectedHouse, folder); });
}

}  // namespace tavex
