// tavex-gerador: writes a synthetic COTEPE file.
//   tavex-gerador SAIDA [--tipo MF|MFD|TDM|RZ] [--bytes N] [--reducoes N] [--cupons N] [--semente N] [--lf] [--falha NOME]
//                 [--sem-e04-e10-e19-e20] [--intervencao N] [--gt]
#include <cstdio>
#include <fstream>
#include <string>

#include "generator.h"

int main(int argc, char** argv) {
  if (argc < 2 || std::string(argv[1]) == "--help" || std::string(argv[1]).starts_with("-")) {
    std::fprintf(stderr, "Uso: tavex-gerador SAIDA [--tipo MF|MFD|TDM|RZ] [--bytes N] [--reducoes N] [--cupons N] [--semente N] [--lf]\n"
                 "       [--sem-e04-e10-e19-e20] [--intervencao N] [--gt]\n"
                 "       [--falha sem-ead|linha-vazia|fora-de-ordem|e02-duplicado|registro-apos-ead|registro-curto]\n");
    return 2;
  }
  tavex::GeneratorOptions options;
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
    } else if (a == "--intervencao" && hasValue) {
      options.interventionAt = std::stoull(argv[++i]);
    } else if (a == "--gt") {
      options.grandTotals = true;
    } else if (a == "--lf") {
      options.crlf = false;
    } else {
      std::fprintf(stderr, "tavex-gerador: argumento desconhecido: %s\n", a.c_str());
      return 2;
    }
  }
  std::ofstream out(argv[1], std::ios::binary);
  if (!out) {
    std::fprintf(stderr, "tavex-gerador: não foi possível criar %s\n", argv[1]);
    return 2;
  }
  tavex::generateCotepe(out, options);
  return out.good() ? 0 : 2;
}
