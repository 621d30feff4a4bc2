// The closing step of a download: how long it took, written to the working folder
// of the manufacturer and shown to the user.
#pragma once

#include <cstdint>
#include <string>

#include "port/user_interface.h"

namespace tavex {

// "Tempo de download: HH:MM:SS (hh:mm:ss)" for `elapsedMs` (hours do not wrap).
std::string downloadTimeText(std::int64_t elapsedMs);

// Writes downloadTimeText, without a line end, to
// "./Arquivos de Trabalho/tempo_download.txt" (created or emptied; relative to the
// current directory, which the library loader leaves at the manufacturer's folder;
// skipped silently when the file cannot be opened), then shows
// "Processo finalizado com sucesso!" with the time under the title "Tavex!".
void recordDownloadTime(UserInterface& ui, std::int64_t elapsedMs);

}  // namespace tavex
