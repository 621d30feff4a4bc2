// exportar-pg in a build without libpq (the Windows one): the command says where it runs.
#include <cstdio>

#include "cli/commands.h"

namespace tavex::cli {

int runExportarPg(const Args&) {
  std::fputs(
      "Erro!: exportar-pg carrega arquivos num banco PostgreSQL e precisa da versão do\n"
      "Tavex para Linux; esta versão para Windows ainda não traz o acesso ao PostgreSQL.\n",
      stderr);
  return kCannotRun;
}

}  // namespace tavex::cli
