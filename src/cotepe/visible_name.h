// A file's name as cp1252 text for the texts that quote it (sentences, CSV cells,
// terminal lines), with nothing of it lost and nothing in it acting on a terminal.
#pragma once

#include <string>
#include <string_view>

namespace tavex {

// The name (meant as UTF-8) converted to cp1252, where each control character,
// byte that is not UTF-8 and character cp1252 lacks is written "\xHH" (its bytes
// in the name), so the name can be found again and no '?' stands for a character.
std::string visibleCp1252(std::string_view utf8);

}  // namespace tavex
