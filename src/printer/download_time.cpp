#include "printer/download_time.h"

#include "cotepe/file_access.h"
#include "cotepe/text.h"

namespace tavex {

namespace {

struct Clock {
  long hours, minutes, seconds;
};

Clock clockOf(std::int64_t ms) {
  return {static_cast<long>(ms / 3600000), static_cast<long>((ms / 60000) % 60), static_cast<long>((ms / 1000) % 60)};
}

}  // namespace

std::string downloadTimeText(std::int64_t elapsedMs) {
  const Clock c = clockOf(elapsedMs);
  return cformat("Tempo de download: %02ld:%02ld:%02ld (hh:mm:ss)", c.hours, c.minutes, c.seconds);
}

void recordDownloadTime(UserInterface& ui, std::int64_t elapsedMs) {
  const std::string text = downloadTimeText(elapsedMs);
  // Whole or absent, never through a planted link; a file that cannot be written is
  // left out, as before, and the box below still says how long the download took.
  writeWholeFile("./Arquivos de Trabalho/tempo_download.txt", text);
  const Clock c = clockOf(elapsedMs);
  ui.showMessage(cformat("Processo finalizado com sucesso!\n\r\n\rTempo de download: %02ld:%02ld:%02ld (hh:mm:ss)",
                         c.hours, c.minutes, c.seconds),
                 "Tavex!", Icon::Information);
}

}  // namespace tavex
