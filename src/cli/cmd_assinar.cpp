#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "cli/terminal_ui.h"
#include "signature/file_signing.h"

namespace tavex::cli {

namespace {

const char* const kUsage =
    "Uso: tavex-cli assinar ARQUIVO --chave-privada CHAVE.pem [--paf] [--substituir]\n"
    "\n"
    "Assina o arquivo ARQUIVO com a chave privada RSA de 1024 bits CHAVE.pem (PEM,\n"
    "sem senha, como \"openssl genrsa -out CHAVE.pem 1024\" grava): acrescenta o\n"
    "registro EAD com a assinatura do MD5 de todas as linhas anteriores, que\n"
    "\"tavex-cli assinatura\" (ou \"paf\") verifica com a chave pública do par.\n"
    "O arquivo é regravado por meio de um arquivo temporário na mesma pasta: se algo\n"
    "falhar, o original fica como estava (dono, grupo e permissões são mantidos; um\n"
    "arquivo somente leitura é recusado). A assinatura é conferida com a parte pública\n"
    "da chave antes de gravada: uma chave danificada é recusada. Um sinal (Ctrl-C)\n"
    "antes da troca do arquivo interrompe a assinatura e deixa o original.\n"
    "\n"
    "Sem --paf, ARQUIVO deve ser um arquivo COTEPE (primeira linha E01); com --paf,\n"
    "um arquivo de PAF-ECF, de qualquer conteúdo. Um arquivo que já termina com o\n"
    "registro EAD é recusado, a não ser com --substituir, que troca a assinatura.\n"
    "As chaves de exemplo ficam em chaves/ na pasta de exemplos.\n"
    "\n"
    "Saída: 0 assinado, 2 quando não foi possível assinar.\n";

}  // namespace

int runAssinar(const Args& args) {
  const std::optional<ParsedArgs> parsed =
      parseArgs(args, {{"--chave-privada", true}, {"--paf", false}, {"--substituir", false}}, kUsage);
  if (!parsed) return kCannotRun;
  if (parsed->help) {
    std::fputs(kUsage, stdout);
    return kOk;
  }
  if (parsed->positional.empty()) return usageError(kUsage, "informe o arquivo a assinar");
  if (parsed->positional.size() > 1) return usageError(kUsage, "mais de um arquivo informado");
  const std::optional<std::string> keyPath = parsed->value("--chave-privada");
  if (!keyPath || keyPath->empty()) return usageError(kUsage, "informe a chave privada (--chave-privada CHAVE.pem)");
  const std::string& path = parsed->positional[0];

  TerminalUserInterface ui;
  const PrivateKeyFile key = readPrivateKeyFile(*keyPath);
  if (key.readErrno != 0 || key.reading.error != PrivateKeyError::None) {
    ui.showMessage(privateKeyMessage(key, *keyPath), "Erro!", Icon::Error);
    return kCannotRun;
  }
  const SigningResult result =
      signFileInPlace(path, key.reading.key,
                      {.paf = parsed->has("--paf"), .replace = parsed->has("--substituir"), .keyPath = *keyPath});
  if (result.status != SigningStatus::Signed) {
    ui.showMessage(signingMessage(result, path), "Erro!", Icon::Error);
    return kCannotRun;
  }
  ui.showMessage(signingMessage(result, path), "", Icon::None);
  return kOk;
}

}  // namespace tavex::cli
