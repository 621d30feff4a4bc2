// servir in a build that does not serve yet (the Windows one): the command says where it runs.
#include <cstdio>

#include "cli/commands.h"

namespace tavex::cli {

int runServir(const Args&) {
  std::fputs(
      "Erro!: servir (a bancada no navegador) precisa, por enquanto, da versão do Tavex\n"
      "para Linux; esta versão para Windows ainda não o traz.\n",
      stderr);
  return kCannotRun;
}

}  // namespace tavex::cli
