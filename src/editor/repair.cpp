#include "editor/repair.h"

#include <cstdint>
#include <iterator>

#include "door/output.h"
#include "editor/editor_state.h"
#include "editor/operation.h"
#include "editor/player_file.h"
#include "editor/player_record.h"

namespace {

enum RepairTest : uint8_t { rtNegative, rtZero, rtAbove, rtBelowOther };
enum RepairValue : uint8_t { rvConstant, rvLevelTimes, rvOther, rvOtherQuarter };

// One rule: when field passes test, it becomes the new value and the lines are shown. `other` is
// the field compared with (rtBelowOther) or copied from (rvOther, rvOtherQuarter).
struct RepairRule {
  FieldRef field;
  RepairTest test;
  int32_t limit;  // rtAbove only
  RepairValue value;
  int32_t amount;  // the constant, or the factor of the level
  FieldRef other;
  const char* line;
  const char* second_line;  // nullptr when the rule has one line
};

constexpr int32_t k16 = 32000;
constexpr int32_t k2G = kTwoBillion;
const FieldRef kNone{0, 0, false};

const char kAdjust[] = "  User will need to adjust field to proper amount.";

#define F PLAYER_FIELD
// Order matters: each rule sees what the earlier ones left, and the level-based values use the
// level as it stands when the rule runs (not yet capped at 12).
const RepairRule kRepairRules[] = {
    {F(level), rtNegative, 0, rvConstant, 1, kNone,
     "  ZORVAN/32 Notice: Game Level stat was reset to Level 1.", nullptr},
    {F(hit_points), rtNegative, 0, rvLevelTimes, 20, kNone,
     "Advisory:  Reset negative Hitpoints to 20 Points * Game Level.", nullptr},
    {F(hit_max), rtNegative, 0, rvLevelTimes, 20, kNone,
     "Advisory:  Reset negative Max Hitpoints to Level * 20.",
     "  User will need to adjust field for Level 2+ player."},
    {F(hit_max), rtBelowOther, 0, rvOther, 0, F(hit_points),
     "Advisory:  Reset invalid Max Hitpoints to value of Hit-Points.", nullptr},
    {F(defense), rtNegative, 0, rvLevelTimes, 20, kNone,
     "ZORVAN/32 Notice: Reset negative Defense points to 20 points * level. ", kAdjust},
    {F(strength), rtNegative, 0, rvLevelTimes, 25, kNone,
     "ZORVAN/32 Notice: Reset negative Strength points to 25 points * level. ", kAdjust},
    {F(charm), rtNegative, 0, rvLevelTimes, 15, kNone,
     "ZORVAN/32 Notice: Reset negative Charm points to 15 points * level. ", kAdjust},
    {F(experience), rtNegative, 0, rvLevelTimes, 100, kNone,
     "ZORVAN/32 Notice: Reset negative Experience points to 100 points * level. ", kAdjust},
    {F(gold), rtNegative, 0, rvLevelTimes, 1000, kNone,
     "ZORVAN/32 Notice: Reset negative Gold in Hand to 1000 points * level. ", kAdjust},
    {F(bank), rtNegative, 0, rvLevelTimes, 10000, kNone,
     "ZORVAN/32 Notice: Reset negative Bank Gold to 10,000 * level. ", kAdjust},
    {F(gems), rtNegative, 0, rvLevelTimes, 5, kNone,
     "Advisory:  Reset negative Gems field to Level * 5 gems. ", kAdjust},
    {F(forest_fights), rtNegative, 0, rvLevelTimes, 10, kNone,
     "ZORVAN/32 Notice: Reset negative Forest Fights to 10 * level. ", kAdjust},
    {F(player_fights), rtNegative, 0, rvConstant, 4, kNone,
     "ZORVAN/32 Notice: Reset negative Player Fights to 4. ", kAdjust},
    {F(skill_dk), rtNegative, 0, rvConstant, 1, kNone,
     "Advisory:  Reset negative DK Skill Points to 1. ", kAdjust},
    {F(skill_mystic), rtNegative, 0, rvConstant, 1, kNone,
     "Advisory:  Reset negative Mystical Skill Points to 1. ", kAdjust},
    {F(skill_thief), rtNegative, 0, rvConstant, 1, kNone,
     "Advisory:  Reset negative Thieving Skill Points to 1. ", kAdjust},
    // The lines say "to 1" although the value set is the day's entitlement; players know them so.
    {F(uses_dk), rtNegative, 0, rvOtherQuarter, 0, F(skill_dk),
     "ZORVAN/32 Notice: Reset negative Death Knight Skill Use Points to 1. ",
     "  Used amount player is entitled to each day."},
    {F(uses_mystic), rtNegative, 0, rvOther, 0, F(skill_mystic),
     "ZORVAN/32 Notice: Reset negative Mystical Skill Use Points to 1. ",
     " Used player's Mystical Skill points for valid Uses amount."},
    {F(uses_thief), rtNegative, 0, rvOtherQuarter, 0, F(skill_thief),
     "ZORVAN/32 Notice: Reset negative Thieving Skill Use Points to 1. ",
     " Used amount player is entitled to each day."},
    {F(lays), rtNegative, 0, rvConstant, 0, kNone,
     "ZORVAN/32 Notice: Lays stat was negative. Reset to zero.", nullptr},
    {F(kids), rtNegative, 0, rvConstant, 0, kNone,
     "ZORVAN/32 Notice: Kids stat was negative. Reset to zero.", nullptr},
    {F(games_won), rtNegative, 0, rvConstant, 0, kNone,
     "ZORVAN/32 Notice: Games Won stat was negative. Reset to zero.", nullptr},
    {F(kills), rtNegative, 0, rvConstant, 0, kNone,
     "ZORVAN/32 Notice: Player Kills stat was negative. Reset to zero.", nullptr},
    {F(weapon_num), rtNegative, 0, rvConstant, 1, kNone,
     "ZORVAN/32 Notice: Weapon Number stat was negative.  Reset to 1.", nullptr},
    {F(armour_num), rtNegative, 0, rvConstant, 1, kNone,
     "ZORVAN/32 Notice: Armor Number stat was negative.  Reset to 1.", nullptr},
    {F(level), rtZero, 0, rvConstant, 1, kNone,
     "ZORVAN/32 Notice: Game Level stat was Zero.  Reset to Level 1.", nullptr},
    {F(hit_max), rtAbove, k16, rvConstant, k16, kNone,
     "Advisory:  Reset above-range Max Hitpoints to 32,000 points.", nullptr},
    {F(hit_points), rtAbove, k16, rvOther, 0, F(hit_max),
     "Advisory:  Reset above-range Hitpoints to match Max Hitpoints.", nullptr},
    {F(forest_fights), rtAbove, k16, rvConstant, k16, kNone,
     "Advisory:  Reset above-range Forest Fights to 32,000 points.", nullptr},
    {F(player_fights), rtAbove, k16, rvConstant, k16, kNone,
     "Advisory:  Reset above-range Player Fights to 32,000 points.", nullptr},
    {F(strength), rtAbove, k16, rvConstant, k16, kNone,
     "Advisory:  Reset above-range Strength Points to 32,000 points.", nullptr},
    {F(defense), rtAbove, k16, rvConstant, k16, kNone,
     "Advisory:  Reset above-range Defense Points to 32,000 points.", nullptr},
    {F(charm), rtAbove, k16, rvConstant, k16, kNone,
     "Advisory:  Reset above-range Charm Points to 32,000 points.", nullptr},
    {F(gems), rtAbove, k16, rvConstant, k16, kNone,
     "Advisory:  Reset above-range Gems on Hand to 32,000.", nullptr},
    {F(gold), rtAbove, k2G, rvConstant, k2G, kNone,
     "Advisory:  Reset above-range Gold on Hand to 2 Billion.", nullptr},
    {F(bank), rtAbove, k2G, rvConstant, k2G, kNone,
     "Advisory:  Reset above-range Gold in Bank to 2 Billion.", nullptr},
    {F(experience), rtAbove, k2G, rvConstant, k2G, kNone,
     "Advisory:  Reset above-range Experience to 2 Billion points.", nullptr},
    {F(lays), rtAbove, k16, rvConstant, k16, kNone,
     "ZORVAN/32 Notice: Reset above-range Lays to 32,000.", nullptr},
    {F(kids), rtAbove, k16, rvConstant, k16, kNone,
     "ZORVAN/32 Notice: Reset above-range Kids to 32,000.", nullptr},
    {F(games_won), rtAbove, k16, rvConstant, k16, kNone,
     "ZORVAN/32 Notice: Reset above-range Games Won to 32,000.", nullptr},
    {F(kills), rtAbove, k16, rvConstant, k16, kNone,
     "ZORVAN/32 Notice: Reset above-range Player Kills to 32,000.", nullptr},
    {F(skill_dk), rtAbove, 100, rvConstant, 100, kNone,
     "ZORVAN/32 Notice: Reset above-range Death Knight Skill Points to 100. ", nullptr},
    {F(skill_mystic), rtAbove, 100, rvConstant, 100, kNone,
     "ZORVAN/32 Notice: Reset above-range Mystical Skill Points to 100. ", nullptr},
    {F(skill_thief), rtAbove, 100, rvConstant, 100, kNone,
     "ZORVAN/32 Notice: Reset above-range Thieving Skill Points to 100. ", nullptr},
    {F(uses_dk), rtAbove, 100, rvConstant, 100, kNone,
     "ZORVAN/32 Notice: Reset above-range Death Knight Skill Use Points to 100. ", nullptr},
    {F(uses_mystic), rtAbove, 100, rvConstant, 100, kNone,
     "ZORVAN/32 Notice: Reset above-range Mystical Skill Use Points to 100. ", nullptr},
    {F(uses_thief), rtAbove, 100, rvConstant, 100, kNone,
     "ZORVAN/32 Notice: Reset above-range Thieving Skill Use Points to 100. ", nullptr},
    {F(level), rtAbove, 12, rvConstant, 12, kNone,
     "ZORVAN/32 Notice: Game Level stat exceeded 12.  Reset to Level 12.", nullptr},
};
#undef F

static_assert(std::size(kRepairRules) == 48);

bool RuleApplies(const PlayerRecord& record, const RepairRule& rule) {
  int32_t value = ReadField(record, rule.field);
  switch (rule.test) {
    case rtNegative: return value < 0;
    case rtZero: return value == 0;
    case rtAbove: return value > rule.limit;
    case rtBelowOther: return value < ReadField(record, rule.other);
  }
  return false;
}

int64_t NewValue(const PlayerRecord& record, const RepairRule& rule) {
  switch (rule.value) {
    case rvConstant: return rule.amount;
    case rvLevelTimes: return int64_t{ReadField(record, PLAYER_FIELD(level))} * rule.amount;
    case rvOther: return ReadField(record, rule.other);
    case rvOtherQuarter: return ReadField(record, rule.other) / 4;  // toward zero
  }
  return 0;
}

const char* FieldName(FieldRef field) {
  for (size_t i = 0; i < kRecordFieldCount; ++i)
    if (kRecordFields[i].offset == field.offset) return kRecordFields[i].name;
  return "?";
}

std::string RuleName(const RepairRule& rule) {
  std::string name = FieldName(rule.field);
  switch (rule.test) {
    case rtNegative: return name + "-negative";
    case rtZero: return name + "-zero";
    case rtAbove: return name + "-above-" + std::to_string(rule.limit);
    case rtBelowOther: return name + "-below-" + FieldName(rule.other);
  }
  return name;
}

}  // namespace

std::vector<RepairFinding> RepairRulesThatFire(PlayerRecord record) {
  std::vector<RepairFinding> fired;
  int number = 0;
  for (const RepairRule& rule : kRepairRules) {
    ++number;
    if (!RuleApplies(record, rule)) continue;
    int32_t before = ReadField(record, rule.field);
    WriteField(record, rule.field, NewValue(record, rule));
    fired.push_back({number, RuleName(rule), FieldName(rule.field), before,
                     ReadField(record, rule.field), rule.line});
  }
  return fired;
}

std::vector<const char*> ApplyRepairRules(PlayerRecord& record) {
  std::vector<const char*> lines;
  for (const RepairRule& rule : kRepairRules) {
    if (!RuleApplies(record, rule)) continue;
    // WriteField keeps the low bytes: a product beyond the field's width wraps as the game's does.
    WriteField(record, rule.field, NewValue(record, rule));
    lines.push_back(rule.line);
    if (rule.second_line != nullptr) lines.push_back(rule.second_line);
  }
  return lines;
}

bool ReportOperation(FileResult result, const std::vector<const char*>& lines,
                     const char* not_done) {
  if (result != frDone) {
    editor_state.screen_notice = "  `@" + FileProblemText(result) + "  `%" + not_done;
    return false;
  }
  for (const char* line : lines) DoorWriteLn(line);
  return true;
}

void RepairStats() {
  std::vector<const char*> lines;
  FileResult result = UpdateCurrentPlayer(
      OperationKind::kRepair, [&](PlayerRecord& record) { lines = ApplyRepairRules(record); });
  ReportOperation(result, lines, "The repair was not made.");
}
