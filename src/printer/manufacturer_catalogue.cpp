#include "printer/manufacturer_catalogue.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <system_error>

#include "cotepe/text.h"
#include "xml/xml_document.h"

namespace tavex {

namespace fs = std::filesystem;

namespace {

// The model groups: manufacturer, then the models that belong to group n with it.
// Blanks inside the names matter ("PERTOPAY  2023", "P01 ").
struct GroupPairs {
  int group;
  std::string_view manufacturer;
  std::vector<std::string_view> models;
};

const std::vector<GroupPairs>& modelGroups() {
  static const std::vector<GroupPairs> groups = {
      {2, "DATAREGIS", {"3202DT", "6000EP"}},
      {2, "TERMOPRINTER", {"TPF1001", "TPF1002", "TPF2001", "TPF2002"}},
      {3, "ZPM", {"ZPM/1FIT LOGGER", "ZPM/2EFC LOGGER", "ZPM/3EF LOGGER", "ZPM/3EFC LOGGER"}},
      {3, "URANO", {"URANO/II FIT LOGGER", "URANO/1FIT LOGGER"}},
      {3, "PERTO", {"PERTOCHEK FP", "PERTOCHEK POS FP", "PERTOPAY 2023", "PERTOPAY 2040", "PERTOPRINTER 1EF"}},
      {3, "PERCEPTION", {"P01"}},
      {3, "ITAUTEC", {"INFOWAY 1E T1", "QW PRINTER 1E T3"}},
      {3, "INTERWAY", {"PRT100 - FI"}},
      {3, "ELGIN", {"ELGIN FIT", "IF 6000TH", "FX7", "X5"}},
      {3, "EAGLE", {"Printer 2000 II MFD"}},
      {3, "SWEDA", {"IF ST100", "IF ST200", "IF ST120", "IF ST1000", "IF ST2000"}},
      {4, "BEMATECH", {"MP-2000 TH FI", "MP-2100 TH FI", "MP-3000 TH FI", "MP-6000 TH FI", "MP-6100 TH FI", "MP-7000 TH FI"}},
      {4, "IBM", {"4610-KR4", "4610-KN4"}},
      {4, "NCR", {"7167", "7197"}},
      {4, "SONDA", {"SIM67", "SIM97"}},
      {5, "BEMATECH", {"MP-20 FI II", "MP-40 FI II", "MP-25 FI", "MP-50 FI"}},
      {5, "DARUMA", {"FS318", "FS335", "FS345", "FS420", "FS2000"}},
      {5, "EAGLE", {"Printer 2000 II", "Printer 2002 II"}},
      {5, "IBM", {"IB-20 FI II", "IB-40 FI II", "4679-3B4"}},
      {5, "UNISYS", {"BR-20 IF2", "BR-40 IF2"}},
      {6, "ZPM", {"ZPM-200", "ZPM-300", "ZPM-400", "ZPM-500", "ZPM/2EFC LOGGER", "ZPM/1 FIT LOGGER", "ZPM/3EF LOGGER", "ZPM/3EFC LOGGER"}},
      {6, "ELGIN", {"ELGIN FIT", "IF 6000 TH", "K", "FX7", "X5"}},
      {6, "ITAUTEC", {"INFOWAY 1E T1", "QW PRINTER 1E T3"}},
      {6, "INTERWAY", {"PRT-100"}},
      {6, "STRATEMA", {"STRFIS"}},
      {6, "APB", {"MSD 6600 IF"}},
      {6, "URANO", {"URANO/II FIT LOGGER", "URANO/1 FIT LOGGER"}},
      {6, "PERTO", {"PERTOCHEK FP", "PERTOCHEK POS PF", "PERTOPAY  2023", "PERTOPAY  2040", "PERTOPRINTER 1EF"}},
      {6, "PERCEPTION", {"P01 "}},
  };
  return groups;
}

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lowerAscii(x) == lowerAscii(y); });
}

std::optional<std::string> readWholeFile(const fs::path& path) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return std::nullopt;  // missing, a folder, no permission, a loop
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return text;
}

void createWorkingFolders(const fs::path& manufacturerFolder) {
  for (const char* name : kWorkingFolders) {
    std::error_code ec;  // existing folders stay; failures are ignored
    fs::create_directory(manufacturerFolder / name, ec);
  }
}

// Reads one manufacturer file, already parsed, into `entry`.
void readManufacturer(XmlDocument& doc, const fs::path& folder, ManufacturerEntry& entry) {
  std::string libraryFile;
  ModelKey current;
  int modulos = 0;
  bool modelsEnded = false;
  doc.intoElem();
  while (doc.findElem("dll")) {
    doc.intoElem();
    if (doc.findElem("nome")) {
      libraryFile = doc.getData();
      createWorkingFolders(folder);
    }
    if (doc.findElem("chave")) {
      current = ModelKey{};
      bool holdsModulo = false;
      if (doc.findChildElem("modulo")) {
        holdsModulo = true;
        if (++modulos > 1) entry.hasSeveralKeys = true;
        // A key text with other than hexadecimal digits is still the file's key: every
        // signature checked with it is simply invalid.
        const auto bytes = rsaBytesFromKeyText(doc.getChildData());
        if (bytes) current.modulus = *bytes;
        current.wellFormed = current.wellFormed && bytes.has_value();
        current.modulusPresent = true;
      }
      if (doc.findChildElem("expoente_publico")) {
        const auto bytes = rsaBytesFromKeyText(doc.getChildData());
        if (bytes) current.exponent = *bytes;
        current.wellFormed = current.wellFormed && bytes.has_value();
        current.exponentPresent = true;
      }
      if (holdsModulo && modulos == 1) entry.fileKey = current;
    }
    // An empty `modelo` ends the manufacturer's model list, in this `dll` and in the
    // ones after it (their libraries and keys are still read).
    while (doc.findElem("modelo")) {
      std::string name = doc.getData();
      if (name.empty()) modelsEnded = true;
      if (!modelsEnded) entry.models.push_back({std::move(name), libraryFile, current});
    }
    doc.outOfElem();
  }
}

}  // namespace

bool isModelInGroup(int n, std::string_view manufacturer, std::string_view model) {
  for (const GroupPairs& g : modelGroups()) {
    if (g.group != n || !equalsIgnoringCase(g.manufacturer, manufacturer)) continue;
    for (std::string_view m : g.models)
      if (equalsIgnoringCase(m, model)) return true;
  }
  return false;
}

void ManufacturerCatalogue::loadCatalogue(UserInterface& ui, const fs::path& startDirectory) {
  std::error_code ec;
  startDirectory_ = fs::absolute(startDirectory, ec);
  if (ec) startDirectory_ = startDirectory;
  entries_.clear();

  // Name order: the same list on every machine, whatever order the file system keeps.
  std::vector<std::string> names;
  for (fs::directory_iterator it(startDirectory_, fs::directory_options::skip_permission_denied, ec), end;
       !ec && it != end; it.increment(ec))
    names.push_back(it->path().filename().string());
  std::sort(names.begin(), names.end());

  for (const std::string& name : names) {
    const fs::path folder = startDirectory_ / name;
    const std::optional<std::string> text = readWholeFile(folder / (name + ".xml"));
    if (!text) continue;
    XmlDocument doc;
    // An empty file fails without a message: nothing to show then.
    if (!doc.setDoc(*text) && !doc.getError().empty()) ui.showMessage(doc.getError(), kDefaultTitle, Icon::Warning);
    if (!doc.findElem("fabricante")) continue;
    ManufacturerEntry entry;
    entry.name = name;
    readManufacturer(doc, folder, entry);
    entries_.push_back(std::move(entry));
  }
}

void ManufacturerCatalogue::setMdbDirectory(const std::string& manufacturerName) {
  mdbDirectory_ = (startDirectory_ / manufacturerName / "MDB").string() + "/";
}

std::vector<std::string> ManufacturerCatalogue::selectManufacturer(const std::string& manufacturerName) {
  setMdbDirectory(manufacturerName);
  std::vector<std::string> models;
  for (const ManufacturerEntry& e : entries_)
    if (e.name == manufacturerName)
      for (const ModelEntry& m : e.models) models.push_back(m.name);
  selectedManufacturer_.clear();
  selectedModel_.clear();
  return models;
}

void ManufacturerCatalogue::selectModel(UserInterface& ui, const std::string& manufacturerName,
                                        const std::string& modelName, const std::string& portName) {
  for (const ManufacturerEntry& e : entries_) {
    if (e.name != manufacturerName) continue;
    for (const ModelEntry& m : e.models) {
      if (m.name != modelName) continue;
      std::error_code ec;
      fs::current_path(startDirectory_, ec);
      libraryPath_ = e.name + "/" + m.libraryFile;
      manufacturerDirectory_ = e.name;
      loadManufacturerLibrary(ui);
    }
  }
  unloadManufacturerLibrary();
  connectionPort_ = portName;
  connectionModel_ = modelName;
  selectedModel_ = modelName;
  selectedManufacturer_ = manufacturerName;
}

void ManufacturerCatalogue::selectPort(const std::string& portName, const std::string& modelName) {
  connectionPort_ = portName;
  connectionModel_ = modelName;
}

std::shared_ptr<const ManufacturerLibrary> ManufacturerCatalogue::loadManufacturerLibrary(UserInterface& ui) {
  loaded_.reset();
  loaded_ = tavex::loadManufacturerLibrary(ui, startDirectory_, libraryPath_, libraryFallback_);
  return loaded_;
}

std::optional<ModelKey> ManufacturerCatalogue::keyOfSelection(UserInterface& ui, const std::string& manufacturerName,
                                                              const std::string& modelName) {
  if (manufacturerName.empty()) {
    ui.showMessage("Não há fabricante selecionado."_cp, "Erro!", Icon::Error);
    return std::nullopt;
  }
  setMdbDirectory(manufacturerName);
  const ModelKey* key = nullptr;
  const auto entry = std::find_if(entries_.begin(), entries_.end(),
                                  [&](const ManufacturerEntry& e) { return e.name == manufacturerName; });
  if (entry != entries_.end()) {
    if (entry->hasSeveralKeys) {
      if (modelName.empty()) {
        ui.showMessage("Favor selecionar o modelo de impressora!", "Erro!", Icon::Error);
        return std::nullopt;
      }
      for (const ModelEntry& m : entry->models) {
        if (m.name == modelName) {
          key = &m.key;
          break;
        }
      }
    } else {
      key = &entry->fileKey;  // the file's one key, for any model
    }
  }
  if (key == nullptr || !key->modulusPresent) {
    ui.showMessage("Módulo da chave não encontrado no arquivo XML!"_cp, "Erro!", Icon::Error);
    return std::nullopt;
  }
  if (!key->exponentPresent) {
    ui.showMessage("Expoente Público da chave não encontrado no arquivo XML!"_cp, "Erro!", Icon::Error);
    return std::nullopt;
  }
  return *key;
}

std::optional<RsaPublicKey> ManufacturerCatalogue::rsaKeyOfSelection(UserInterface& ui,
                                                                     const std::string& manufacturerName,
                                                                     const std::string& modelName) {
  const std::optional<ModelKey> key = keyOfSelection(ui, manufacturerName, modelName);
  if (!key) return std::nullopt;
  return key->rsaKey();
}

}  // namespace tavex
