// The statistics repair: fixed rules for negative and above-range values.
#pragma once
#include <vector>

#include "editor/player_file.h"
#include "editor/player_record.h"

// The repair of the current player, as one operation on the record as read under the hold.
void RepairStats();
// The rules applied to record in order; the lines of those that fired.
std::vector<const char*> ApplyRepairRules(PlayerRecord& record);
// After an operation: its lines when it was written, else a notice that says it was not done.
bool ReportOperation(WriteResult result, const std::vector<const char*>& lines,
                     const char* not_done);
