#include "cotepe/file_kind.h"

namespace tavex {

// The table is in type order: fileKindRules indexes it by kind.
consteval bool rulesInKindOrder() {
  for (int k = 0; k < static_cast<int>(std::size(kFileKindRules)); ++k)
    if (static_cast<int>(kFileKindRules[k].kind) != k) return false;
  return static_cast<int>(std::size(kFileKindRules)) == static_cast<int>(FileKind::OtherRz) + 1;
}
static_assert(rulesInKindOrder());

FileKind fileKindOf(std::string_view comando) {
  if (comando == "MF ") return FileKind::MF;
  if (comando == "MFD") return FileKind::MFD;
  if (comando == "TDM") return FileKind::TDM;
  if (comando == "RZ ") return FileKind::RZ;
  if (comando.starts_with("RZ")) return FileKind::OtherRz;
  return FileKind::None;
}

}  // namespace tavex
