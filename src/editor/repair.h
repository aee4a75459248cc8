// The statistics repair: fixed rules for negative and above-range values.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "editor/player_file.h"
#include "editor/player_record.h"

// The repair of the current player, as one operation on the record as read under the hold.
void RepairStats();
// The rules applied to record in order; the lines of those that fired.
std::vector<const char*> ApplyRepairRules(PlayerRecord& record);
// One rule that fires: its place in the order (1-48), a name made of the field and the test
// ("level-negative", "hit_max-below-hit_points", "gold-above-2000000000"), the field's value before
// and after the rule, and its first line.
struct RepairFinding {
  int rule;
  std::string name;
  const char* field;
  int32_t before, after;
  const char* line;
};
// What ApplyRepairRules would do to record, rule by rule, worked out on a copy.
std::vector<RepairFinding> RepairRulesThatFire(PlayerRecord record);
// After an operation: its lines when it was written, else a notice that says it was not done.
bool ReportOperation(FileResult result, const std::vector<const char*>& lines,
                     const char* not_done);
