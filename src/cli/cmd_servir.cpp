#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/commands.h"
#include "server/workbench_server.h"
#include "tavex_version.h"

extern char** environ;

namespace tavex::cli {

namespace {

const char* const kUsage =
    "Uso: tavex-cli servir [PASTA] [--porta N] [--sem-navegador]\n"
    "\n"
    "Abre a bancada do Tavex no navegador: os arquivos COTEPE da PASTA (padrão: a\n"
    "pasta atual) e das suas subpastas, a validação de cada um com os achados ao lado\n"
    "do registro, os indícios, a conciliação por redução Z e o relatório de auditoria.\n"
    "Só esta máquina tem acesso: o servidor escuta em 127.0.0.1 e o endereço mostrado\n"
    "leva um token de acesso aleatório, trocado no primeiro acesso por um cookie de\n"
    "sessão. O navegador padrão é aberto com esse endereço.\n"
    "  --porta N         a porta (padrão: uma porta livre qualquer)\n"
    "  --sem-navegador   não abre o navegador; só mostra o endereço\n"
    "\n"
    "Ctrl-C (ou SIGTERM) para o servidor. Cada validação grava o log ao lado do\n"
    "arquivo, como em \"validar\".\n"
    "\n"
    "Saída: 0 quando parado com Ctrl-C ou SIGTERM, 2 quando não foi possível servir\n"
    "(pasta inexistente, porta ocupada, argumentos inválidos).\n";

// Opens `address` in the desktop's browser, without waiting for it; quietly nothing
// when there is no desktop.
void openBrowser(const std::string& address) {
  if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::string program = "xdg-open";
  char* argv[] = {program.data(), const_cast<char*>(address.c_str()), nullptr};
  pid_t pid = 0;
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
  if (posix_spawnp(&pid, "xdg-open", &actions, &attributes, argv, environ) != 0) pid = 0;
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  (void)pid;  // reaped below, when the server stops
}

}  // namespace

int runServir(const Args& args) {
  const std::optional<ParsedArgs> parsed = parseArgs(args, {{"--porta", true}, {"--sem-navegador", false}}, kUsage);
  if (!parsed) return kCannotRun;
  if (parsed->help) {
    std::fputs(kUsage, stdout);
    return kOk;
  }
  if (parsed->positional.size() > 1) return usageError(kUsage, "servir recebe uma só pasta");
  server::ServerOptions options;
  options.folder = parsed->positional.empty() ? "." : parsed->positional[0];
  options.version = kVersion;
  if (const auto port = parsed->value("--porta")) {
    int n = -1;
    const auto [end, ec] = std::from_chars(port->data(), port->data() + port->size(), n);
    if (ec != std::errc() || end != port->data() + port->size() || n < 1 || n > 65535)
      return usageError(kUsage, "--porta espera um número de 1 a 65535");
    options.port = n;
  }
  // SIGINT and SIGTERM are taken by this thread alone (sigwait below): every
  // thread the server starts inherits the mask, so the stop is always orderly.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  server::WorkbenchServer server(options);
  std::string problem;
  if (!server.start(&problem)) {
    pthread_sigmask(SIG_UNBLOCK, &stopSignals, nullptr);
    std::fprintf(stderr, "tavex-cli: %s\n", problem.c_str());
    return kCannotRun;
  }
  std::printf("Tavex no navegador: %s\nPressione Ctrl-C para parar.\n", server.address().c_str());
  std::fflush(stdout);
  if (!parsed->has("--sem-navegador")) openBrowser(server.address());
  int received = 0;
  sigwait(&stopSignals, &received);
  std::fputs("Parando o servidor…\n", stderr);
  server.stop();
  while (waitpid(-1, nullptr, WNOHANG) > 0) {
  }
  pthread_sigmask(SIG_UNBLOCK, &stopSignals, nullptr);
  return kOk;
}

}  // namespace tavex::cli
