// The record check of each record type, in the form every check shares:
// (run, line). Each lives in the file of its record family.
#pragma once

#include "validation/record_check.h"

namespace tavex {

void checkRecordE01(ValidationRun& run, const RecordLine& rec);
void checkRecordE02(ValidationRun& run, const RecordLine& rec);
void checkRecordE03(ValidationRun& run, const RecordLine& rec);
void checkRecordE04(ValidationRun& run, const RecordLine& rec);
void checkRecordE05(ValidationRun& run, const RecordLine& rec);
void checkRecordE06(ValidationRun& run, const RecordLine& rec);
void checkRecordE07(ValidationRun& run, const RecordLine& rec);
void checkRecordE08(ValidationRun& run, const RecordLine& rec);
void checkRecordE09(ValidationRun& run, const RecordLine& rec);
void checkRecordE10(ValidationRun& run, const RecordLine& rec);
void checkRecordE11(ValidationRun& run, const RecordLine& rec);
void checkRecordE12(ValidationRun& run, const RecordLine& rec);
void checkRecordE13(ValidationRun& run, const RecordLine& rec);
void checkRecordE14(ValidationRun& run, const RecordLine& rec);
void checkRecordE15(ValidationRun& run, const RecordLine& rec);
void checkRecordE16(ValidationRun& run, const RecordLine& rec);
void checkRecordE17(ValidationRun& run, const RecordLine& rec);
void checkRecordE18(ValidationRun& run, const RecordLine& rec);
void checkRecordE19(ValidationRun& run, const RecordLine& rec);
void checkRecordE20(ValidationRun& run, const RecordLine& rec);
void checkRecordE21(ValidationRun& run, const RecordLine& rec);
void checkRecordEad(ValidationRun& run, const RecordLine& rec);

// True when every character of `line` from the 1-based `position` to its end is a
// blank or '0'.
bool isRestBlank(std::string_view line, int position);

}  // namespace tavex
