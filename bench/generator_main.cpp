// tavex-gerador: writes a synthetic COTEPE file.
//   tavex-gerador SAIDA [--tipo MF|MFD|TDM|RZ] [--bytes N] [--reducoes N] [--cupons N] [--semente N] [--lf] [--falha NOME]
//                 [--sem-e04-e10-e19-e20] [--intervencao N] [--gt] [--chave-privada CHAVE.pem]
//                 [--memorias MF.txt MFD.txt]   (also the TDM file's two memories, as two files)
//                 [--fatias N]   (instead of SAIDA, N files SAIDA.0001 ... of consecutive reductions)
//                 [--efd PASTA]  (also the honest EFD ICMS/IPI of each month of movement, PASTA/efd_AAAAMM.txt)
//                 [--efd-itens N]  (C470 lines per coupon in the EFD, default 1)
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <vector>
#include <algorithm>
#include <string>

#include "cotepe/text.h"
#include "efd_generator.h"
#include "generator.h"
#include "signature/file_signing.h"

namespace {

// The PEM private key at `keyPath`, or nothing after a message.
std::optional<tavex::RsaPrivateKey> signingKey(const std::string& keyPath) {
  const tavex::PrivateKeyFile key = tavex::readPrivateKeyFile(keyPath);
  if (key.readErrno == 0 && key.reading.error == tavex::PrivateKeyError::None) return key.reading.key;
  std::fprintf(stderr, "tavex-gerador: %s\n", tavex::cp1252ToUtf8(tavex::privateKeyMessage(key, keyPath)).c_str());
  return std::nullopt;
}

// Replaces the generated file's EAD record by a real signature with `key`, as
// "tavex-cli assinar --substituir" does. False after a message.
bool signGeneratedFile(const char* path, const tavex::RsaPrivateKey& key) {
  tavex::SigningOptions options;
  options.replace = true;
  const tavex::SigningResult result = tavex::signFileInPlace(path, key, options);
  if (result.status == tavex::SigningStatus::Signed) return true;
  std::fprintf(stderr, "tavex-gerador: %s\n", tavex::cp1252ToUtf8(tavex::signingMessage(result, path)).c_str());
  return false;
}

// The file cut into `slices` files of consecutive reductions, as an ECF read month
// by month gives them: SAIDA.0001, SAIDA.0002...
bool writeSlices(const std::string& path, const tavex::GeneratorOptions& options, int slices) {
  std::ostringstream whole;
  tavex::generateCotepe(whole, options);
  const std::string eol = options.crlf ? "\r\n" : "\n";
  std::vector<std::string> lines;
  std::istringstream in(whole.str());
  int reductions = 0;
  for (std::string line; std::getline(in, line);) {
    if (options.crlf && !line.empty()) line.pop_back();
    if (line.starts_with("E12")) ++reductions;
    lines.push_back(std::move(line));
  }
  const int per = std::max(1, reductions / slices);
  for (int s = 0; s < slices && s * per < reductions; ++s) {
    const int last = s + 1 == slices ? reductions : (s + 1) * per;
    const std::string name = path + tavex::cformat(".%04d", s + 1);
    std::ofstream out(name, std::ios::binary);
    for (const std::string& line : tavex::reductionsOf(lines, s * per + 1, last)) out << line << eol;
    if (!out.flush()) {
      std::fprintf(stderr, "tavex-gerador: não foi possível gravar %s\n", name.c_str());
      return false;
    }
  }
  return true;
}

// The honest EFD files of the ECF whose files are `paths`, into `folder`.
bool writeEfdFiles(const std::vector<std::string>& paths, const std::string& folder, bool crlf, std::size_t items) {
  std::string text;
  for (const std::string& path : paths) {
    std::ifstream in(path, std::ios::binary);
    text.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  tavex::EfdGeneratorOptions options;
  options.crlf = crlf;
  options.itemsPerCoupon = items;
  for (const tavex::GeneratedEfd& efd : tavex::honestEfdFiles(text, options)) {
    const std::string name = folder + "/efd_" + efd.month + ".txt";
    std::ofstream out(name, std::ios::binary);
    out << efd.text;
    if (!out.flush()) {
      std::fprintf(stderr, "tavex-gerador: não foi possível gravar %s\n", name.c_str());
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::string(argv[1]) == "--help" || std::string(argv[1]).starts_with("-")) {
    std::fprintf(stderr, "Uso: tavex-gerador SAIDA [--tipo MF|MFD|TDM|RZ] [--bytes N] [--reducoes N] [--cupons N] [--semente N] [--lf]\n"
                 "       [--sem-e04-e10-e19-e20] [--intervencao N] [--gt] [--chave-privada CHAVE.pem]\n"
                 "       [--memorias MF.txt MFD.txt]  (com um arquivo TDM: também as suas duas memórias)\n"
                 "       [--fatias N]  (em vez de SAIDA, N arquivos SAIDA.0001... de reduções seguidas)\n"
                 "       [--efd PASTA]  (também a EFD ICMS/IPI honesta de cada mês, PASTA/efd_AAAAMM.txt)\n"
                 "       [--efd-itens N]  (linhas C470 por cupom na EFD; padrão 1)\n"
                 "       [--falha sem-ead|linha-vazia|fora-de-ordem|e02-duplicado|registro-apos-ead|registro-curto]\n");
    return 2;
  }
  tavex::GeneratorOptions options;
  std::string keyPath, mfPath, mfdPath, efdFolder;
  std::size_t efdItems = 1;
  int slices = 0;
  for (int i = 2; i < argc; ++i) {
    const std::string a = argv[i];
    const bool hasValue = i + 1 < argc;
    if (a == "--tipo" && hasValue) {
      const std::string k = argv[++i];
      options.kind = k == "MF" ? tavex::FileKind::MF : k == "MFD" ? tavex::FileKind::MFD
                   : k == "RZ" ? tavex::FileKind::RZ : tavex::FileKind::TDM;
    } else if (a == "--bytes" && hasValue) {
      options.targetBytes = std::stoull(argv[++i]);
    } else if (a == "--reducoes" && hasValue) {
      options.reductions = std::stoull(argv[++i]);
    } else if (a == "--cupons" && hasValue) {
      options.couponsPerReduction = std::stoull(argv[++i]);
    } else if (a == "--semente" && hasValue) {
      options.seed = std::stoull(argv[++i]);
    } else if (a == "--falha" && hasValue) {
      const std::string f = argv[++i];
      using F = tavex::GeneratorFault;
      options.fault = f == "sem-ead" ? F::NoEad : f == "linha-vazia" ? F::BlankLine : f == "fora-de-ordem" ? F::OutOfOrder
                    : f == "e02-duplicado" ? F::DuplicateE02 : f == "registro-apos-ead" ? F::RecordAfterEad
                    : f == "registro-curto" ? F::ShortRecord : F::None;
      if (options.fault == F::None) {
        std::fprintf(stderr, "tavex-gerador: falha desconhecida: %s\n", f.c_str());
        return 2;
      }
    } else if (a == "--sem-e04-e10-e19-e20") {
      options.withoutUnusedRecords = true;
    } else if (a == "--chave-privada" && hasValue) {
      keyPath = argv[++i];
    } else if (a == "--intervencao" && hasValue) {
      options.interventionAt = std::stoull(argv[++i]);
    } else if (a == "--memorias" && i + 2 < argc) {
      mfPath = argv[++i];
      mfdPath = argv[++i];
    } else if (a == "--efd-itens" && hasValue) {
      efdItems = std::stoull(argv[++i]);
    } else if (a == "--efd" && hasValue) {
      efdFolder = argv[++i];
    } else if (a == "--fatias" && hasValue) {
      slices = std::stoi(argv[++i]);
    } else if (a == "--gt") {
      options.grandTotals = true;
    } else if (a == "--lf") {
      options.crlf = false;
    } else {
      std::fprintf(stderr, "tavex-gerador: argumento desconhecido: %s\n", a.c_str());
      return 2;
    }
  }
  if (!keyPath.empty() &&
      (options.fault == tavex::GeneratorFault::NoEad || options.fault == tavex::GeneratorFault::RecordAfterEad)) {
    std::fprintf(stderr, "tavex-gerador: --chave-privada assina o registro EAD da última linha; não combina com "
                         "--falha sem-ead nem registro-apos-ead\n");
    return 2;
  }
  std::optional<tavex::RsaPrivateKey> key;
  if (!keyPath.empty() && !(key = signingKey(keyPath))) return 2;
  if (slices > 0) return writeSlices(argv[1], options, slices) ? 0 : 2;
  std::ofstream out(argv[1], std::ios::binary);
  if (!out) {
    std::fprintf(stderr, "tavex-gerador: não foi possível criar %s\n", argv[1]);
    return 2;
  }
  if (mfPath.empty()) {
    tavex::generateCotepe(out, options);
  } else {
    std::ofstream mf(mfPath, std::ios::binary), mfd(mfdPath, std::ios::binary);
    tavex::generateMemoryPair(mf, mfd, &out, options);
    mf.close();
    mfd.close();
    if (!mf || !mfd) {
      std::fprintf(stderr, "tavex-gerador: não foi possível gravar %s e %s\n", mfPath.c_str(), mfdPath.c_str());
      return 2;
    }
  }
  out.close();
  if (!out) return 2;
  if (!efdFolder.empty() && !writeEfdFiles({argv[1]}, efdFolder, options.crlf, efdItems)) return 2;
  if (!key) return 0;
  const bool signedAll = signGeneratedFile(argv[1], *key) &&
                         (mfPath.empty() || (signGeneratedFile(mfPath.c_str(), *key) && signGeneratedFile(mfdPath.c_str(), *key)));
  return signedAll ? 0 : 2;
}
