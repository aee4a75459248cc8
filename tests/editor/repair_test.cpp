#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "editor/editor_state.h"
#include "editor/repair.h"
#include "fakes/door_harness.h"
#include "fakes/game_fixture.h"

namespace {

#define F PLAYER_FIELD

const std::string kAdjust = "  User will need to adjust field to proper amount.";

using Values = std::vector<std::pair<FieldRef, int64_t>>;

struct RepairCase {
  Values damage;
  std::vector<std::string> lines;  // as shown, each ends in CR LF
  Values repaired;
};

const RepairCase kCases[] = {
    {{{F(level), -3}, {F(hit_points), -1}},
     {"  ZORVAN/32 Notice: Game Level stat was reset to Level 1.",
      "Advisory:  Reset negative Hitpoints to 20 Points * Game Level."},
     {{F(level), 1}, {F(hit_points), 20}}},
    {{{F(level), 0}, {F(charm), -5}},
     {"ZORVAN/32 Notice: Reset negative Charm points to 15 points * level. ", kAdjust,
      "ZORVAN/32 Notice: Game Level stat was Zero.  Reset to Level 1."},
     {{F(charm), 0}, {F(level), 1}}},
    {{{F(level), 15}, {F(gems), -1}},
     {"Advisory:  Reset negative Gems field to Level * 5 gems. ", kAdjust,
      "ZORVAN/32 Notice: Game Level stat exceeded 12.  Reset to Level 12."},
     {{F(gems), 75}, {F(level), 12}}},
    {{{F(hit_points), 300}, {F(hit_max), 200}},
     {"Advisory:  Reset invalid Max Hitpoints to value of Hit-Points."},
     {{F(hit_max), 300}, {F(hit_points), 300}}},
    {{{F(hit_points), 32500}, {F(hit_max), 1000}},
     {"Advisory:  Reset invalid Max Hitpoints to value of Hit-Points.",
      "Advisory:  Reset above-range Max Hitpoints to 32,000 points.",
      "Advisory:  Reset above-range Hitpoints to match Max Hitpoints."},
     {{F(hit_max), 32000}, {F(hit_points), 32000}}},
    // A skill byte of 128 or more is negative.
    {{{F(skill_dk), 200}, {F(uses_dk), -1}},
     {"Advisory:  Reset negative DK Skill Points to 1. ", kAdjust,
      "ZORVAN/32 Notice: Reset negative Death Knight Skill Use Points to 1. ",
      "  Used amount player is entitled to each day."},
     {{F(skill_dk), 1}, {F(uses_dk), 0}}},
    // Uses come from the skill before the skill is capped.
    {{{F(skill_thief), 110}, {F(uses_thief), -2}},
     {"ZORVAN/32 Notice: Reset negative Thieving Skill Use Points to 1. ",
      " Used amount player is entitled to each day.",
      "ZORVAN/32 Notice: Reset above-range Thieving Skill Points to 100. "},
     {{F(uses_thief), 27}, {F(skill_thief), 100}}},
    {{{F(gold), kTwoBillion + 1}},
     {"Advisory:  Reset above-range Gold on Hand to 2 Billion."},
     {{F(gold), kTwoBillion}}},
    // Two billion itself is kept.
    {{{F(gold), kTwoBillion}, {F(bank), kTwoBillion}, {F(experience), kTwoBillion}}, {}, {}},
    {{}, {}, {}},  // a clean record
    {{{F(hit_max), 32767}},
     {"Advisory:  Reset above-range Max Hitpoints to 32,000 points."},
     {{F(hit_max), 32000}}},
    {{{F(level), 12}, {F(bank), -1}},  // 120,000 needs all 32 bits
     {"ZORVAN/32 Notice: Reset negative Bank Gold to 10,000 * level. ", kAdjust},
     {{F(bank), 120000}}},
    // The level-based value is stored in the field's width, as the game's own arithmetic does.
    {{{F(level), 1700}, {F(defense), -1}},
     {"ZORVAN/32 Notice: Reset negative Defense points to 20 points * level. ", kAdjust,
      "ZORVAN/32 Notice: Game Level stat exceeded 12.  Reset to Level 12."},
     {{F(defense), 34000 - 65536}, {F(level), 12}}},
};

#undef F

// Each case damages a clean player (the second of two), repairs it and checks the lines shown and
// the whole record on disk: only the named fields may change, and the record is written even when
// no rule fires (a change no rule looks at, made in memory only, reaches the disk).
TEST(RepairStats, ShowsItsLinesAndStoresItsValues) {
  for (const RepairCase& c : kCases) {
    SCOPED_TRACE(testing::Message() << "case " << &c - kCases);
    TempGameDir game;
    PlayerRecord player = MakePlayer("Kelda", "KELDA SMITH", 7);
    for (const auto& [field, value] : c.damage) WriteField(player, field, value);
    StartEditorOn(game, {MakePlayer("Other", "OTHER ONE", 3), player}, 1);
    current_record.time_on = 4242;
    OutputRecorder recorder;
    RepairStats();
    std::string lines;
    for (const std::string& line : c.lines) lines += line + "\r\n";
    EXPECT_EQ(recorder.Bytes(), lines);
    for (const auto& [field, value] : c.repaired) WriteField(player, field, value);
    player.time_on = 4242;
    EXPECT_EQ(RecordBytes(game.ReadPlayer(1)), RecordBytes(player));
  }
}

}  // namespace
