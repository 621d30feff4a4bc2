// The reconciliation of an MF with its MFD next to the full validation of the TDM
// file holding both, the work alone (no table, no terminal): the best of several
// runs of each, in this run.
//
// Usage: tavex-bench-conciliacao TDM MF MFD [RUNS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "validation/memory_pair.h"
#include "validation/validate.h"

namespace {

using Clock = std::chrono::steady_clock;

class Silent : public tavex::Notifier {
 public:
  void showMessage(std::string_view text, std::string_view, tavex::Icon) override {
    std::fprintf(stderr, "tavex-bench-conciliacao: %.*s\n", static_cast<int>(text.size()), text.data());
  }
};

// The best wall time of `runs` calls of `job`, in milliseconds; negative when a call failed.
template <typename Job>
double best(int runs, Job job) {
  double fastest = 1e300;
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    if (!job()) return -1;
    fastest = std::min(fastest, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  return fastest;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fputs("Uso: tavex-bench-conciliacao TDM MF MFD [RODADAS]\n", stderr);
    return 2;
  }
  const int runs = argc > 4 ? std::max(1, std::atoi(argv[4])) : 9;
  Silent notifier;
  const double tdm = best(runs, [&] { return tavex::validateCotepeFile(notifier, argv[1], 0).ran; });
  const double pair = best(runs, [&] { return tavex::reconcileMemories(notifier, argv[2], argv[3], 0).ran; });
  if (tdm < 0 || pair < 0) return 2;
  std::printf("conciliação MF x MFD %.1f ms; validação do TDM equivalente %.1f ms; razão %.3f   alvo <= 1.20\n", pair,
              tdm, pair / tdm);
  return 0;
}
