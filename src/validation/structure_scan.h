// The two passes a full run makes over the whole file before any record is
// examined: record order and kinds, then record sizes. Each rewinds the file
// itself, reports only errors, and answers whether it passed.
#pragma once

#include "cotepe/line_reader.h"
#include "validation/validation_run.h"

namespace tavex {

// Passed; or only required record types are missing (every other rule held); or
// anything else failed.
enum class StructureVerdict { Passed, OnlyMissingRecords, Failed };

// `sizesHold`, when given, tells whether every line read passes scanRecordSizes
// (meaningful when the verdict is not Failed: the scan then read every line).
StructureVerdict scanStructure(LineReader& file, ValidationRun& run, bool* sizesHold = nullptr);
bool scanRecordSizes(LineReader& file, ValidationRun& run);

}  // namespace tavex
