// The simulated ECF: a manufacturer library for a printer that is not there. It
// exports the twelve entry points with C linkage and behaves as a small,
// deterministic fiscal printer, so every printer command of Tavex runs end to end:
//
//  - downloads write binary memory files into the working folders
//    ("Arquivos MF/*.mf", "Arquivos Binários/*.mfd", "*.bin", "*.rz", "Arquivos SB");
//  - GeraRegistrosTipoE turns a memory file into a COTEPE file in
//    "Arquivos TXT Formatados"; the mirrors go to "Arquivos TXT Espelho";
//  - printing entry points append what the printer would print to "impressora.txt";
//  - every call, with its arguments and result, is appended to "simulador.log".
// All files live in the library's own folder (the manufacturer's folder).
//
// Result codes on purpose, so every message of the program can be seen:
//   Open on "COM5" -1, "COM6" 1, "COM7" 2; an unknown model 4;
//   any command after Open on "COM4" 3;
//   a missing input file 5, an input file the simulator did not write 6;
//   model "SIM-50 SEM MFD" (no detail-tape memory): LeSoftwareBasico 7, the
//   detail-tape commands 8;
//   commands that need Open called without it -1.
// Port "COM3" makes DownloadMemorias wait until Close is called (or 60 s pass),
// as a printer stuck mid-download; Close then makes it return -1.
// For tests: a port "RET<n>" (no window offers it) makes every command after Open
// return n; a file "bloquear" in the library's folder makes every entry point but
// Open and Close wait, as a stuck printer, until Close is called (then -1) or the
// file is removed; "em_espera" appears in the folder once a call waits. A file
// "bloquear_close" makes Close itself hang (a driver that never lets go of the
// port) until the file is removed or 60 s pass; "close_em_espera" appears once it
// waits, and Close is logged when it returns.
#include <dlfcn.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "cotepe/record_builder.h"
#include "cotepe/record_layout.h"
#include "generator.h"
#include "signature/ead_signing.h"
#include "signature/signed_file.h"

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kMagic = "TAVEX-ECF-SIMULADO 1\n";
constexpr const char* kSerial = "SI010100000000000001";
constexpr const char* kModels[] = {"SIM-1000 FI", "3202DT", "SIM-50 SEM MFD"};
constexpr std::string_view kNoDetailTapeModel = "SIM-50 SEM MFD";

std::mutex gLock;  // the log and the printer file
std::string gPort;
std::string gModel;
std::atomic<bool> gOpen{false};
std::atomic<bool> gCloseRequested{false};
std::atomic<int> gCloseCount{0};

std::string text(const char* s) { return s != nullptr ? s : ""; }

fs::path ownFolder() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&ownFolder), &info) != 0 && info.dli_fname != nullptr)
    return fs::absolute(fs::path(info.dli_fname)).parent_path();
  return fs::current_path();
}

void appendTo(const fs::path& file, const std::string& bytes) {
  std::lock_guard<std::mutex> lock(gLock);
  std::ofstream out(file, std::ios::binary | std::ios::app);
  out << bytes;
}

int logged(const char* entry, std::initializer_list<std::string> args, int result) {
  std::string line = entry;
  line += "(";
  bool first = true;
  for (const std::string& a : args) {
    line += first ? "\"" : ", \"";
    line += a + "\"";
    first = false;
  }
  line += ") = " + std::to_string(result) + "\r\n";
  appendTo(ownFolder() / "simulador.log", line);
  return result;
}

void print(const std::string& header, const std::vector<std::string>& lines) {
  std::string out = "----------------------------------------\r\n" + header + "\r\n";
  out += std::string("ECF ") + kSerial + " MODELO " + gModel + "\r\n";
  for (const std::string& l : lines) out += l + "\r\n";
  appendTo(ownFolder() / "impressora.txt", out);
}

// The state check shared by the commands that run with the printer open.
int openState() {
  if (!gOpen) return -1;
  if (gPort == "COM4") return 3;
  if (gPort.rfind("RET", 0) == 0) return std::atoi(gPort.c_str() + 3);
  return 0;
}

// The "bloquear" hook: -1 when Close was called while waiting, else 0.
int stuck() {
  const fs::path folder = ownFolder();
  if (!fs::exists(folder / "bloquear")) return 0;
  const int closes = gCloseCount;
  appendTo(folder / "em_espera", "");
  for (int i = 0; i < 6000 && closes == gCloseCount && fs::exists(folder / "bloquear"); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return closes == gCloseCount ? 0 : -1;
}

bool hasDetailTape() { return gModel != kNoDetailTapeModel; }

bool isOneOf(const std::string& value, std::initializer_list<std::string_view> allowed) {
  for (std::string_view a : allowed)
    if (value == a) return true;
  return false;
}

// A memory file: the magic line, a small header, then a deterministic body.
bool writeMemoryFile(const fs::path& path, const std::string& kind, const std::string& period,
                     const std::string& start, const std::string& end) {
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out << kMagic << "tipo=" << kind << "\nmodelo=" << gModel << "\nserie=" << kSerial << "\nperiodo=" << period
      << "\ninicio=" << start << "\nfim=" << end << "\n";
  for (int i = 0; i < 1024; ++i) out.put(static_cast<char>((i * 37 + 11) & 0xFF));
  return static_cast<bool>(out);
}

// Reads a memory file written above: 0 and the model it was read from, 5 when it
// cannot be opened, 6 when the simulator did not write it.
int readMemoryFile(const std::string& path, std::string& model) {
  std::ifstream in(path, std::ios::binary);
  if (path.empty() || !in) return 5;
  std::string head(kMagic.size(), '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  if (!in || head != kMagic) return 6;
  std::string line;
  while (std::getline(in, line) && !line.starts_with("modelo=")) {
  }
  model = line.starts_with("modelo=") ? line.substr(7) : "SIM-1000 FI";
  return 0;
}

const char* kindName(const std::string& kind) {
  if (kind == "0") return "MF ";
  if (kind == "1") return "MFD";
  if (kind == "2") return "TDM";
  return "RZ ";
}

// Signing hook: the EAD record of `body` (every line before it), signed with the
// simulator's private key (exemplos/chaves/dataregis_privada.pem: its modulus is the one of
// DATAREGIS.xml, its private exponent is below), PKCS #1 v1.5 with MD5, so the file
// verifies with the catalogue's key.
std::string signedEadRecord(const std::string& body) {
  static const tavex::RsaBytes kModulus = *tavex::rsaBytesFromKeyText(
      "99ECC35BA4B75C02FC22E124CFA5799437DB218399772B51C91F6624E5033A7F1517066FCACE061C76A0012DEE7D5B70"
      "AEB7D39914B9AB1C77BC638C91E216A32FDBFEB986FCA5AED0FE25AD991ACFB65B1BEB0432C40CA25DA745BE26D6A966"
      "8AEC40C4338CD4AEBC8E87A350F57CAAF2D9CB3661C59037233A30373DF5D40D");
  static const tavex::RsaBytes kPrivateExponent = *tavex::rsaBytesFromKeyText(
      "8efae4796367439c2e3404295a8d1e8374e3239d87d7afb0b7ff67b58bd9d4e3a9668aff1b47075c3740e7f78f9a786f"
      "128d058c243957de08c7413d9961879e3b80799799843d9beb9739f5017c0cdc5afda915e7790313e62210d19f29f3c8"
      "945ec9fc1ffb8413cb45c65d3168b8f42e224d400ab5045b1a87bffb799a750d");
  return tavex::makeEadRecord(body, kModulus, kPrivateExponent);
}

// Sets field `name` of `line` (a record of `type`) to `value`, when the record has it.
void setField(std::string& line, int type, std::string_view name, std::string_view value) {
  const tavex::RecordLayout* layout = tavex::layoutOf(type);
  if (layout == nullptr) return;
  for (const tavex::FieldLayout& f : layout->fields)
    if (f.name == name && line.size() >= static_cast<std::size_t>(f.start - 1 + f.width))
      line.replace(static_cast<std::size_t>(f.start - 1), static_cast<std::size_t>(f.width),
                   tavex::layField(value, f.width, false));
}

// The COTEPE file of the simulated printer's memories for `kind` ("0" MF, "1" MFD,
// "2" TDM, "3" RZ): a small, internally consistent file from the file generator
// (a few days from 02/01/2012), carrying this printer's serial number, brand and
// model, closed by the EAD record of the signing hook.
std::string cotepeFile(const std::string& kind, const std::string& model) {
  tavex::GeneratorOptions options;
  options.kind = kind == "0" ? tavex::FileKind::MF
                 : kind == "1" ? tavex::FileKind::MFD
                 : kind == "2" ? tavex::FileKind::TDM
                               : tavex::FileKind::RZ;
  options.seed = 1704;
  options.targetBytes = 12000;
  options.crlf = true;
  std::ostringstream generated;
  tavex::generateCotepe(generated, options);

  std::string body;
  std::istringstream in(generated.str());
  for (std::string line; std::getline(in, line);) {
    line = std::string(tavex::stripLineEnd(line));
    const int type = tavex::recordTypeOf(line);
    if (type == 99) continue;  // the EAD is made again below
    setField(line, type, "NUM_FABR", kSerial);
    setField(line, type, "MODELO", model);
    if (type == 1) setField(line, type, "MARCA", "DATAREGIS");
    body += line + "\r\n";
  }
  return body + signedEadRecord(body) + "\r\n";
}

bool writeText(const fs::path& path, const std::string& bytes) {
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  return static_cast<bool>(out);
}

std::string baseName(const std::string& path) { return fs::path(path).stem().string(); }

}  // namespace

extern "C" {

__attribute__((visibility("default"))) int Open(const char* port, const char* model) {
  const std::string p = text(port), m = text(model);
  int result = 0;
  if (p == "COM5") result = -1;
  else if (p == "COM6") result = 1;
  else if (p == "COM7") result = 2;
  else {
    result = 4;
    for (const char* known : kModels)
      if (m == known) result = 0;
  }
  if (result == 0) {
    gPort = p;
    gModel = m;
    gCloseRequested = false;
    gOpen = true;
  }
  return logged("Open", {p, m}, result);
}

__attribute__((visibility("default"))) int Close() {
  gCloseRequested = true;
  ++gCloseCount;
  gOpen = false;
  const fs::path folder = ownFolder();
  if (fs::exists(folder / "bloquear_close")) {
    appendTo(folder / "close_em_espera", "");
    for (int i = 0; i < 6000 && fs::exists(folder / "bloquear_close"); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return logged("Close", {}, 0);
}

__attribute__((visibility("default"))) int ImprimeLeituraX() {
  int result = stuck();
  if (result == 0) result = openState();
  if (result == 0)
    print("LEITURA X", {"CRZ: 0003  COO: 000021", "VENDA BRUTA DIARIA: 0,00", "TOTALIZADOR 01T1800: 0,00"});
  return logged("ImprimeLeituraX", {}, result);
}

__attribute__((visibility("default"))) int LeSoftwareBasico() {
  int result = stuck();
  if (result == 0) result = openState();
  if (result == 0 && gModel == kNoDetailTapeModel) result = 7;
  if (result == 0 && !writeText(ownFolder() / "Arquivos SB" / (std::string(kSerial) + ".sb"),
                                "SOFTWARE BASICO 01.00.01\r\nDATA DE GRAVACAO 01/03/2010 10:15:00\r\n"))
    result = 5;
  return logged("LeSoftwareBasico", {}, result);
}

__attribute__((visibility("default"))) int ImprimeFitaDetalhe(const char* type, const char* start, const char* end,
                                                              const char* referenceDate) {
  const std::string t = text(type), s = text(start), e = text(end), r = text(referenceDate);
  int result = stuck();
  if (result == 0) result = openState();
  if (result == 0 && !hasDetailTape()) result = 8;
  if (result == 0 && !isOneOf(t, {"0", "1", "2"})) result = 3;
  if (result == 0) print("FITA DETALHE", {"TIPO " + t + " DE " + s + " A " + e + " REF " + r, "COO 000001 VENDA 10,00"});
  return logged("ImprimeFitaDetalhe", {t, s, e, r}, result);
}

__attribute__((visibility("default"))) int ImprimeLeituraMemoriaFiscal(const char* mode, const char* start,
                                                                       const char* end) {
  const std::string m = text(mode), s = text(start), e = text(end);
  int result = stuck();
  if (result == 0) result = openState();
  if (result == 0 && !isOneOf(m, {"D", "C", "d", "c"})) result = 3;
  if (result == 0) {
    const bool simplified = m == "d" || m == "c";
    print(simplified ? "LEITURA DA MEMORIA FISCAL SIMPLIFICADA" : "LEITURA DA MEMORIA FISCAL",
          {std::string(m == "D" || m == "d" ? "DATA" : "CRZ") + " DE " + s + " A " + e, "CRZ 0001 01/10/2012 10,00",
           "CRZ 0002 02/10/2012 20,00"});
  }
  return logged("ImprimeLeituraMemoriaFiscal", {m, s, e}, result);
}

__attribute__((visibility("default"))) int LeituraRZ(const char* modelName) {
  const std::string m = text(modelName);
  int result = stuck();
  if (result == 0) result = openState();
  if (result == 0 && !hasDetailTape()) result = 8;
  if (result == 0 && !writeMemoryFile(ownFolder() / "Arquivos Binários" / (std::string(kSerial) + ".rz"), "3", "", "", ""))
    result = 5;
  return logged("LeituraRZ", {m}, result);
}

__attribute__((visibility("default"))) int DownloadMemorias(const char* kind, const char* period, const char* start,
                                                            const char* end) {
  const std::string k = text(kind), p = text(period), s = text(start), e = text(end);
  int result = stuck();
  if (result == 0) result = openState();
  if (result == 0 && !isOneOf(k, {"0", "1", "2"})) result = 3;
  if (result == 0 && !isOneOf(p, {"0", "1", "2", "3"})) result = 3;
  if (result == 0 && k != "0" && !hasDetailTape()) result = 8;
  if (result == 0 && gPort == "COM3") {
    // A printer stuck mid-download: only Close (or a long wait) ends it.
    appendTo(ownFolder() / "em_espera", "");
    for (int i = 0; i < 6000 && !gCloseRequested; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    result = -1;
  }
  if (result == 0) {
    const fs::path folder = ownFolder();
    const std::string serial = kSerial;
    bool ok = true;
    if (k == "0" || k == "2") ok &= writeMemoryFile(folder / "Arquivos MF" / (serial + ".mf"), k, p, s, e);
    if (k == "1" || k == "2") ok &= writeMemoryFile(folder / "Arquivos Binários" / (serial + ".mfd"), k, p, s, e);
    if (!ok) result = 5;
  }
  return logged("DownloadMemorias", {k, p, s, e}, result);
}

__attribute__((visibility("default"))) int GeraEspelhos(const char* mfdFile, const char* period, const char* start,
                                                        const char* end, const char* referenceDate) {
  const std::string f = text(mfdFile), p = text(period), s = text(start), e = text(end), r = text(referenceDate);
  std::string model;
  int result = stuck();
  if (result == 0) result = readMemoryFile(f, model);
  if (result == 0 && model == kNoDetailTapeModel) result = 8;
  if (result == 0 && !writeText(ownFolder() / "Arquivos TXT Espelho" / (baseName(f) + "_espelho_mfd.txt"),
                                "ESPELHO DA MFD " + std::string(kSerial) + "\r\nPERIODO " + p + " DE " + s + " A " + e +
                                    " REF " + r + "\r\nCOO 000001 VENDA 10,00\r\n"))
    result = 5;
  return logged("GeraEspelhos", {f, p, s, e, r}, result);
}

__attribute__((visibility("default"))) int GeraEspelhoLMF(const char* binaryFile, const char* simplified,
                                                          const char* period, const char* start, const char* end) {
  const std::string f = text(binaryFile), x = text(simplified), p = text(period), s = text(start), e = text(end);
  std::string model;
  int result = stuck();
  if (result == 0) result = readMemoryFile(f, model);
  if (result == 0 && !writeText(ownFolder() / "Arquivos TXT Espelho" / (baseName(f) + "_espelho_lmf.txt"),
                                "ESPELHO DA LEITURA DA MEMORIA FISCAL " + std::string(kSerial) +
                                    (x == "1" ? " SIMPLIFICADA" : "") + "\r\nPERIODO " + p + " DE " + s + " A " + e +
                                    "\r\nCRZ 0001 01/10/2012 10,00\r\nCRZ 0002 02/10/2012 20,00\r\n"))
    result = 5;
  return logged("GeraEspelhoLMF", {f, x, p, s, e}, result);
}

__attribute__((visibility("default"))) int LeBinarioMF() {
  int result = stuck();
  if (result == 0) result = openState();
  if (result == 0 && !writeMemoryFile(ownFolder() / "Arquivos Binários" / (std::string(kSerial) + ".bin"), "0", "3", "", ""))
    result = 5;
  return logged("LeBinarioMF", {}, result);
}

// Called with three arguments (the last three then empty) or, for model groups 2
// and 3, with six.
__attribute__((visibility("default"))) int GeraRegistrosTipoE(const char* mfFile, const char* mfdOrRzFile,
                                                              const char* kind, const char* period, const char* start,
                                                              const char* end) {
  const std::string mf = text(mfFile), other = text(mfdOrRzFile), k = text(kind), p = text(period),
                    s = text(start), e = text(end);
  int result = stuck();
  if (result == 0 && !isOneOf(k, {"0", "1", "2", "3"})) result = 3;
  std::string model;
  // MF and TDM read the MF file; MFD, TDM and RZ the second one.
  if (result == 0 && (k == "0" || k == "2")) result = readMemoryFile(mf, model);
  if (result == 0 && k != "0") result = readMemoryFile(other, model);
  if (result == 0) {
    const std::string name = std::string(kSerial) + "_" + std::string(tavex::layField(kindName(k), 3, false)) + ".txt";
    std::string clean;
    for (char c : name)
      if (c != ' ') clean.push_back(c);
    if (!writeText(ownFolder() / "Arquivos TXT Formatados" / clean, cotepeFile(k, model))) result = 5;
  }
  return logged("GeraRegistrosTipoE", {mf, other, k, p, s, e}, result);
}

}  // extern "C"
