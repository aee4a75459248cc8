#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "editor/editor_state.h"
#include "editor/repair.h"
#include "fakes/door_harness.h"
#include "fakes/game_fixture.h"

namespace {

// Fields of the packed record are compared by value (unary plus): a reference to one may be
// misaligned.

const std::string kAdjust = "  User will need to adjust field to proper amount.";

struct RepairCase {
  const char* name;
  std::function<void(PlayerRecord&)> damage;
  std::vector<std::string> lines;  // as shown, each ends in CR LF
  std::function<void(const PlayerRecord&)> check;
};

void PrintTo(const RepairCase& c, std::ostream* os) { *os << c.name; }

// A clean player, damaged by the case, repaired; the output and the record on disk are the result.
struct Repaired {
  std::string output;
  PlayerRecord before;
  PlayerRecord on_disk;
};

Repaired RunRepair(const std::function<void(PlayerRecord&)>& damage) {
  TempGameDir game;
  PlayerRecord player = MakePlayer("Kelda", "KELDA SMITH", 7);
  damage(player);
  game.WritePlayers({MakePlayer("Other", "OTHER ONE", 3), player});
  StartEditorOn(game, 1);
  OutputRecorder recorder;
  RepairStats();
  return {recorder.Bytes(), player, game.ReadPlayer(1)};
}

std::string Lines(const std::vector<std::string>& lines) {
  std::string all;
  for (const auto& line : lines) all += line + "\r\n";
  return all;
}

const RepairCase kCases[] = {
    {"LevelFixedBeforeHitPointsUseIt",
     [](PlayerRecord& r) { r.level = -3; r.hit_points = -1; },
     {"  ZORVAN/32 Notice: Game Level stat was reset to Level 1.",
      "Advisory:  Reset negative Hitpoints to 20 Points * Game Level."},
     [](const PlayerRecord& r) {
       EXPECT_EQ(+r.level, 1);
       EXPECT_EQ(+r.hit_points, 20);
     }},
    {"ZeroLevelGivesZeroCharmThenLevelOne",
     [](PlayerRecord& r) { r.level = 0; r.charm = -5; },
     {"ZORVAN/32 Notice: Reset negative Charm points to 15 points * level. ", kAdjust,
      "ZORVAN/32 Notice: Game Level stat was Zero.  Reset to Level 1."},
     [](const PlayerRecord& r) {
       EXPECT_EQ(+r.charm, 0);
       EXPECT_EQ(+r.level, 1);
     }},
    {"GemsUseLevelBeforeItIsCapped",
     [](PlayerRecord& r) { r.level = 15; r.gems = -1; },
     {"Advisory:  Reset negative Gems field to Level * 5 gems. ", kAdjust,
      "ZORVAN/32 Notice: Game Level stat exceeded 12.  Reset to Level 12."},
     [](const PlayerRecord& r) {
       EXPECT_EQ(+r.gems, 75);
       EXPECT_EQ(+r.level, 12);
     }},
    {"HitMaxRaisedToHitPoints",
     [](PlayerRecord& r) { r.hit_points = 300; r.hit_max = 200; },
     {"Advisory:  Reset invalid Max Hitpoints to value of Hit-Points."},
     [](const PlayerRecord& r) {
       EXPECT_EQ(+r.hit_max, 300);
       EXPECT_EQ(+r.hit_points, 300);
     }},
    {"HitPointsAboveRangeRaiseThenCapBoth",
     [](PlayerRecord& r) { r.hit_points = 32500; r.hit_max = 1000; },
     {"Advisory:  Reset invalid Max Hitpoints to value of Hit-Points.",
      "Advisory:  Reset above-range Max Hitpoints to 32,000 points.",
      "Advisory:  Reset above-range Hitpoints to match Max Hitpoints."},
     [](const PlayerRecord& r) {
       EXPECT_EQ(+r.hit_max, 32000);
       EXPECT_EQ(+r.hit_points, 32000);
     }},
    {"SkillByteAbove127IsNegative",
     [](PlayerRecord& r) { r.skill_dk = static_cast<int8_t>(200); r.uses_dk = -1; },
     {"Advisory:  Reset negative DK Skill Points to 1. ", kAdjust,
      "ZORVAN/32 Notice: Reset negative Death Knight Skill Use Points to 1. ",
      "  Used amount player is entitled to each day."},
     [](const PlayerRecord& r) {
       EXPECT_EQ(+r.skill_dk, 1);
       EXPECT_EQ(+r.uses_dk, 0);
     }},
    {"ThiefUsesFromUncappedSkillThenSkillCapped",
     [](PlayerRecord& r) { r.skill_thief = 110; r.uses_thief = -2; },
     {"ZORVAN/32 Notice: Reset negative Thieving Skill Use Points to 1. ",
      " Used amount player is entitled to each day.",
      "ZORVAN/32 Notice: Reset above-range Thieving Skill Points to 100. "},
     [](const PlayerRecord& r) {
       EXPECT_EQ(+r.uses_thief, 27);
       EXPECT_EQ(+r.skill_thief, 100);
     }},
    {"MysticUsesTakeTheWholeSkill",
     [](PlayerRecord& r) { r.skill_mystic = 9; r.uses_mystic = -100; },
     {"ZORVAN/32 Notice: Reset negative Mystical Skill Use Points to 1. ",
      " Used player's Mystical Skill points for valid Uses amount."},
     [](const PlayerRecord& r) { EXPECT_EQ(+r.uses_mystic, 9); }},
    {"GoldOneAboveTwoBillion",
     [](PlayerRecord& r) { r.gold = kTwoBillion + 1; },
     {"Advisory:  Reset above-range Gold on Hand to 2 Billion."},
     [](const PlayerRecord& r) { EXPECT_EQ(+r.gold, kTwoBillion); }},
    {"TwoBillionItselfIsKept",
     [](PlayerRecord& r) {
       r.gold = kTwoBillion;
       r.bank = kTwoBillion;
       r.experience = kTwoBillion;
     },
     {},
     [](const PlayerRecord& r) {
       EXPECT_EQ(+r.gold, kTwoBillion);
       EXPECT_EQ(+r.bank, kTwoBillion);
       EXPECT_EQ(+r.experience, kTwoBillion);
     }},
    {"LargestHitMax",
     [](PlayerRecord& r) { r.hit_max = 32767; },
     {"Advisory:  Reset above-range Max Hitpoints to 32,000 points."},
     [](const PlayerRecord& r) { EXPECT_EQ(+r.hit_max, 32000); }},
    {"NegativeCountersGoToZeroAndNumbersToOne",
     [](PlayerRecord& r) {
       r.lays = -1; r.kids = -2; r.games_won = -3;
       r.kills = -4; r.weapon_num = -5; r.armour_num = -6;
     },
     {"ZORVAN/32 Notice: Lays stat was negative. Reset to zero.",
      "ZORVAN/32 Notice: Kids stat was negative. Reset to zero.",
      "ZORVAN/32 Notice: Games Won stat was negative. Reset to zero.",
      "ZORVAN/32 Notice: Player Kills stat was negative. Reset to zero.",
      "ZORVAN/32 Notice: Weapon Number stat was negative.  Reset to 1.",
      "ZORVAN/32 Notice: Armor Number stat was negative.  Reset to 1."},
     [](const PlayerRecord& r) {
       EXPECT_EQ(r.lays + r.kids + r.games_won + r.kills, 0);
       EXPECT_EQ(+r.weapon_num, 1);
       EXPECT_EQ(+r.armour_num, 1);
     }},
    {"BankFromLevelNeedsAll32Bits",
     [](PlayerRecord& r) { r.level = 12; r.bank = -1; },
     {"ZORVAN/32 Notice: Reset negative Bank Gold to 10,000 * level. ", kAdjust},
     [](const PlayerRecord& r) { EXPECT_EQ(+r.bank, 120000); }},
    // The level-based value is stored in the field's width, as the game's own arithmetic does: a
    // wild level gives a product that wraps in 16 bits.
    {"ProductWrapsInTheFieldsWidth",
     [](PlayerRecord& r) { r.level = 1700; r.defense = -1; },
     {"ZORVAN/32 Notice: Reset negative Defense points to 20 points * level. ", kAdjust,
      "ZORVAN/32 Notice: Game Level stat exceeded 12.  Reset to Level 12."},
     [](const PlayerRecord& r) {
       EXPECT_EQ(+r.defense, static_cast<int16_t>(34000));
       EXPECT_EQ(+r.level, 12);
     }},
};

class RepairStatsCase : public ::testing::TestWithParam<RepairCase> {};

TEST_P(RepairStatsCase, ShowsItsLinesAndStoresItsValues) {
  const RepairCase& c = GetParam();
  Repaired result = RunRepair(c.damage);
  EXPECT_EQ(result.output, Lines(c.lines));
  c.check(result.on_disk);
  EXPECT_EQ(ReservedBytes(result.on_disk), ReservedBytes(result.before));
  EXPECT_EQ(result.on_disk.name.Get(), "Kelda");
}

INSTANTIATE_TEST_SUITE_P(Rules, RepairStatsCase, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RepairStats, CleanRecordPrintsNothingAndIsStillWritten) {
  TempGameDir game;
  PlayerRecord player = MakePlayer("Kelda", "KELDA SMITH", 11);
  game.WritePlayers({player});
  StartEditorOn(game, 0);
  // A change no rule looks at: only the save at the end can carry it to disk.
  current_record.time_on = 4242;
  OutputRecorder recorder;
  RepairStats();
  EXPECT_EQ(recorder.Bytes(), "");
  PlayerRecord expected = player;
  expected.time_on = 4242;
  EXPECT_EQ(RecordBytes(game.ReadPlayer(0)), RecordBytes(expected));
}

TEST(RepairStats, AboveRangeFieldsAreCappedInOrder) {
  Repaired result = RunRepair([](PlayerRecord& r) {
    r.forest_fights = 32001; r.player_fights = 32767; r.strength = 32001; r.defense = 32001;
    r.charm = 32001; r.gems = 32001; r.bank = 2'100'000'000; r.experience = 2'147'483'647;
    r.lays = 32001; r.kids = 32001; r.games_won = 32001; r.kills = 32001;
    r.skill_dk = 101; r.skill_mystic = 127;
    r.uses_dk = 101; r.uses_mystic = 101; r.uses_thief = 127;
  });
  EXPECT_EQ(result.output,
            Lines({"Advisory:  Reset above-range Forest Fights to 32,000 points.",
                   "Advisory:  Reset above-range Player Fights to 32,000 points.",
                   "Advisory:  Reset above-range Strength Points to 32,000 points.",
                   "Advisory:  Reset above-range Defense Points to 32,000 points.",
                   "Advisory:  Reset above-range Charm Points to 32,000 points.",
                   "Advisory:  Reset above-range Gems on Hand to 32,000.",
                   "Advisory:  Reset above-range Gold in Bank to 2 Billion.",
                   "Advisory:  Reset above-range Experience to 2 Billion points.",
                   "ZORVAN/32 Notice: Reset above-range Lays to 32,000.",
                   "ZORVAN/32 Notice: Reset above-range Kids to 32,000.",
                   "ZORVAN/32 Notice: Reset above-range Games Won to 32,000.",
                   "ZORVAN/32 Notice: Reset above-range Player Kills to 32,000.",
                   "ZORVAN/32 Notice: Reset above-range Death Knight Skill Points to 100. ",
                   "ZORVAN/32 Notice: Reset above-range Mystical Skill Points to 100. ",
                   "ZORVAN/32 Notice: Reset above-range Death Knight Skill Use Points to 100. ",
                   "ZORVAN/32 Notice: Reset above-range Mystical Skill Use Points to 100. ",
                   "ZORVAN/32 Notice: Reset above-range Thieving Skill Use Points to 100. "}));
  const PlayerRecord& r = result.on_disk;
  for (int16_t v : {r.forest_fights, r.player_fights, r.strength, r.defense, r.charm, r.gems,
                    r.lays, r.kids, r.games_won, r.kills})
    EXPECT_EQ(v, 32000);
  EXPECT_EQ(+r.bank, kTwoBillion);
  EXPECT_EQ(+r.experience, kTwoBillion);
  for (int8_t v : {r.skill_dk, r.skill_mystic, r.uses_dk, r.uses_mystic, r.uses_thief})
    EXPECT_EQ(v, 100);
}

}  // namespace
