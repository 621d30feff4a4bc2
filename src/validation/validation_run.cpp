#include "validation/validation_run.h"

namespace tavex {

DocumentEntry& ValidationRun::documentEntry(std::int64_t coo) {
  // A COO of 0 is never stored: it answers the list's length, the place the next new
  // COO will take, so the two share that entry.
  const std::size_t index = documentCooList.findOrAdd(coo);
  if (documentTable.size() <= index) documentTable.resize(index + 1);
  return documentTable[index];
}

}  // namespace tavex
