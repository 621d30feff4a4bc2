// PAF-ECF signature validation: the logic of the "PAF-ECF" dialog. Software-house
// public keys live in XML files "<folder>/<name>.xml" (by default "SHouse" in the
// current directory), one per software house, shaped
//   <empresa_desenvolvedora><nome>NAME</nome>
//     <chave><modulo>HEX</modulo><expoente_publico>HEX</expoente_publico></chave>
//   </empresa_desenvolvedora>
// The dialog lists the houses, the user picks or types one and chooses a signed file;
// the check is that of the EAD record (signed_file.h) with the house's key. Every
// message goes through the UserInterface; the dialog only binds its widgets to this.
//
// Names are cp1252 like every text of the core; on disk a file name is its UTF-8 form.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "signature/signed_file.h"
#include "port/user_interface.h"

namespace tavex {

inline constexpr const char* kSoftwareHouseFolder = "SHouse";

// The names for the software-house list, sorted and without repeats: the `nome` of
// every key file of `folder` whose file name contains the name and is exactly 4
// characters longer ("ACME.xml" for ACME). A key file that does not parse shows the
// reader's error (no title, no icon) and lists nothing. Entries that are not readable
// files, and empty names, are passed over; a missing folder lists nothing.
std::vector<std::string> listSoftwareHouses(UserInterface& ui,
                                            const std::filesystem::path& folder = kSoftwareHouseFolder);

// The key of `selectedHouse` from "<folder>/<selectedHouse>.xml", or nothing after an
// error box (title "Erro!"): "Não há Software House selecionada." (empty name), "Não
// encontrado arquivo XML da Software House selecionada." (no such file, or a name with
// "/" or ".." that would leave the folder), "Arquivo XML não é da Software House
// selecionada." (`nome` differs), "Módulo da chave não encontrado no arquivo XML!",
// "Expoente Público da chave não encontrado no arquivo XML!". A parse error is shown
// (no title) and the search goes on. A key text with non-hexadecimal digits gives a
// key that is not wellFormed (every signature invalid).
std::optional<RsaPublicKey> softwareHouseKey(UserInterface& ui, const std::string& selectedHouse,
                                             const std::filesystem::path& folder = kSoftwareHouseFolder);

// The validation command (button "Selecionar Arquivo para Validação"): the key as
// above, then the signed-file chooser (a cancel ends silently), the check and its
// verdict box. Returns the verdict, or nothing when it stopped before checking.
std::optional<SignatureVerdict> validatePafSignature(UserInterface& ui, const std::string& selectedHouse,
                                                     const std::filesystem::path& folder = kSoftwareHouseFolder);

}  // namespace tavex
