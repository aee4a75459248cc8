// The "Clean Slate" reset driven through the main loop's keys, checked on disk.
#include "editor/clean_slate.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "editor/main_screen.h"
#include "fakes/door_harness.h"
#include "fakes/game_fixture.h"
#include "runtime/halt.h"

namespace {

using Names = std::vector<std::string>;

// A player with something to lose in every field the reset touches.
PlayerRecord Cheater(uint8_t skill_class = 2) {
  PlayerRecord r = MakePlayer("`4Grim", "GRIM GRIMSON", 21);
  r.hit_points = 900;
  r.hit_max = 1000;
  r.strength = 400;
  r.defense = 300;
  r.charm = 120;
  r.experience = 5'000'000;
  r.forest_fights = 12;
  r.player_fights = 1;
  r.gold = 70'000;
  r.bank = 1'000'000;
  r.gems = 44;
  r.level = 11;
  r.weapon_num = 15;
  r.weapon_name.Set("Death Sword");
  r.armour_num = 14;
  r.armour_name.Set("Dragon Scale Armour");
  r.lays = 7;
  r.kids = 3;
  r.games_won = 2;
  r.skill_class = skill_class;
  r.skill_dk = 40;
  r.skill_mystic = 5;
  r.skill_thief = 0;
  r.uses_dk = 7;
  r.uses_mystic = 8;
  r.uses_thief = 9;
  r.kills = 9;
  r.flirted = 5;
  r.horse = 1;
  r.inn = 5;
  r.dead = 5;
  r.seen_master = 5;
  r.seen_bard = 5;
  r.seen_quenna = 5;
  r.seen_dragon = 5;
  r.married_to = 2;
  r.weird_event = 5;
  r.high_spirits = 3;
  r.on_now = 1;
  r.sex = 5;
  return r;
}

// Both types: what a new or reborn character starts with.
PlayerRecord Reborn(PlayerRecord r) {
  r.hit_points = 20;
  r.hit_max = 20;
  r.strength = 10;
  r.defense = 1;
  r.gold = 500;
  r.bank = 0;
  r.level = 1;
  r.weapon_num = 1;
  r.weapon_name.Set("Stick");
  r.armour_num = 1;
  r.armour_name.Set("Coat");
  r.inn = r.dead = 0;
  r.seen_master = r.seen_bard = r.seen_quenna = r.seen_dragon = 0;
  return r;
}

// Entry level; the skill uses are the caller's, since they depend on the class.
PlayerRecord EntryLevel(const PlayerRecord& before, int8_t dk, int8_t mystic, int8_t thief) {
  PlayerRecord r = Reborn(before);
  r.charm = 1;
  r.experience = 1;
  r.forest_fights = 30;
  r.player_fights = 3;
  r.gems = 0;
  r.lays = r.kids = r.games_won = r.kills = r.horse = 0;
  r.flirted = 0;
  r.skill_dk = r.skill_mystic = r.skill_thief = 0;
  r.uses_dk = dk;
  r.uses_mystic = mystic;
  r.uses_thief = thief;
  return r;
}

PlayerRecord PostDragon(const PlayerRecord& before) {
  PlayerRecord r = Reborn(before);
  r.experience = 10;
  r.forest_fights = 50;
  r.player_fights = 4;
  r.gems = 10;
  return r;
}

// The output with the ANSI sequences taken out: the text as a caller reads it.
std::string Visible(const std::string& bytes) {
  std::string text;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != '\x1b' || i + 1 >= bytes.size() || bytes[i + 1] != '[') {
      text += bytes[i];
      continue;
    }
    i += 2;
    while (i < bytes.size() && (bytes[i] < 0x40 || bytes[i] > 0x7e)) ++i;
  }
  return text;
}

// Each text appears after the one before it.
void ExpectInOrder(const std::string& text, const std::vector<std::string>& pieces) {
  size_t at = 0;
  for (const auto& piece : pieces) {
    size_t found = text.find(piece, at);
    ASSERT_NE(found, std::string::npos) << "missing, or out of order: " << piece;
    at = found + piece.size();
  }
}

struct Outcome {
  std::string player_dat_before;
  std::string player_dat;
  PlayerRecord cheater;  // record 1 as it is on disk afterwards
  Names names;
  std::string mail;  // MAIL1.DAT
  std::string news;
  std::string output;  // visible text
  std::optional<int> halt_code;
};

// Three players; the editor starts on player 1, presses #, types keys, then Q. blocked names a
// directory made in the way of a file.
Outcome RunCleanSlate(const PlayerRecord& cheater, const std::string& keys,
                  const std::string& blocked = "") {
  TempGameDir game;
  game.WritePlayers({MakePlayer("Kelda", "KELDA SMITH", 11), cheater, MakePlayer("Bo", "BO", 13)});
  if (!blocked.empty()) game.MakeDir(blocked);
  Outcome run;
  run.player_dat_before = game.ReadFile("PLAYER.DAT");
  StartEditorOn(game, 1);
  OutputRecorder recorder;
  TypeKeys("#" + keys + "Q");
  try {
    MainLoop();
  } catch (const HaltSignal& halt) {
    run.halt_code = halt.code;
  }
  run.player_dat = game.ReadFile("PLAYER.DAT");
  run.cheater = game.ReadPlayer(1);
  run.names = game.Names();
  run.mail = game.ReadFile("MAIL1.DAT");
  run.news = game.ReadFile("LOGNOW.TXT");
  run.output = Visible(recorder.Bytes());
  return run;
}

TEST(CleanSlate, SelectionIsTheLowByteReadAsSigned) {
  const PlayerRecord before = Cheater();
  struct Case {
    const char* typed;
    int type;  // 0: aborted
  } cases[] = {
      {"1", 1},   {"2", 2},   {"3", 2},  {"127", 2},  {"257", 1}, {"  2x", 2},
      {"200", 0}, {"128", 0}, {"256", 0}, {"0", 0},   {"\x1b", 0},    {"abc", 0}, {"-1", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("typed \"") + c.typed + "\"");
    Outcome run = RunCleanSlate(before, std::string("Y") + c.typed + "\r");
    ASSERT_FALSE(run.halt_code);
    if (c.type == 0) {
      EXPECT_EQ(run.player_dat, run.player_dat_before);
      EXPECT_EQ(run.names, (Names{"PLAYER.DAT"}));
      ExpectInOrder(run.output,
                    {" Clean Slate Warning: Invalid response entered. Terminating process."});
      continue;
    }
    PlayerRecord expected = c.type == 1 ? EntryLevel(before, 0, 1, 0) : PostDragon(before);
    EXPECT_EQ(RecordBytes(run.cheater), RecordBytes(expected));
    EXPECT_EQ(run.names, (Names{"LOGNOW.TXT", "MAIL1.DAT", "PLAYER.DAT"}));
    std::string header = std::string("  `%Attention: `$`4Grim:  {Clean Slate Message #") +
                         (c.type == 1 ? "1" : "2") + "]\r\n";
    EXPECT_EQ(run.mail.substr(0, header.size()), header);
    std::string kind =
        c.type == 1 ? " `0received an `9Entry-Level " : " `0received a `9Post-Dragon ";
    std::string news_start = "  `!`4Grim" + kind;
    EXPECT_EQ(run.news.substr(0, news_start.size()), news_start);
  }
}

TEST(CleanSlate, PostDragonKeepsCharmFamilySkillsAndKills) {
  const PlayerRecord r = RunCleanSlate(Cheater(), "Y2\r").cheater;
  // Copied out of the packed record before comparing.
  const std::vector<int> kept = {r.charm, r.kids, r.games_won, r.skill_dk, r.uses_thief, r.kills};
  const std::vector<int> reset = {r.gems, r.experience};
  EXPECT_EQ(kept, (std::vector<int>{120, 3, 2, 40, 9, 9}));
  EXPECT_EQ(reset, (std::vector<int>{10, 10}));
}

TEST(CleanSlate, EntryLevelGivesOneUseOfTheClassSkillOnly) {
  struct Case {
    uint8_t skill_class;
    int8_t dk, mystic, thief;
  } cases[] = {
      {1, 1, 0, 0}, {2, 0, 1, 0}, {3, 0, 0, 1},
      {0, 7, 8, 9}, {4, 7, 8, 9},  // no class to give the use to: uses stay
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("class " + std::to_string(c.skill_class));
    const PlayerRecord before = Cheater(c.skill_class);
    Outcome run = RunCleanSlate(before, "Y1\r");
    EXPECT_EQ(RecordBytes(run.cheater), RecordBytes(EntryLevel(before, c.dk, c.mystic, c.thief)));
  }
}

TEST(CleanSlate, NoAtTheQuestionWritesNothing) {
  const std::string answers[] = {"N", "n", "\r", std::string("x7\0YN", 5)};
  for (const auto& keys : answers) {
    SCOPED_TRACE(testing::PrintToString(keys));
    Outcome run = RunCleanSlate(Cheater(), keys);
    EXPECT_EQ(run.player_dat, run.player_dat_before);
    EXPECT_EQ(run.names, (Names{"PLAYER.DAT"}));
    ExpectInOrder(run.output, {"  Enter Y or N as response. No",
                               " Player Status Info: \"Clean Slate\" Changes aborted!"});
  }
}

TEST(CleanSlate, DialogueThenRedrawThenClosingLines) {
  Outcome run = RunCleanSlate(Cheater(), "y1\r");
  ExpectInOrder(run.output, {
                                " Player Status Info: Clean Slate Reset of Player In Progress!",
                                "  Do \"Clean Slate\" Reset Now? of player: Grim?",
                                "  Enter Y or N as response. Yes",
                                "  Choose Reset Type:  1= Entry Level. 2= Post-Dragon.",
                                "    0= Abort.  Enter selection code now:  ",
                                "VarnEdit/32",
                                " Clean State Info: Grim has been punished!  Stats Reset Finished!",
                                " Clean Slate Note: Player has been notified by mail, Daily News "
                                "messages.",
                            });
}

TEST(CleanSlate, NoticeThatCannotBeWrittenEndsTheProgramBeforeTheSave) {
  const std::string blocked[] = {"MAIL1.DAT", "LOGNOW.TXT"};
  for (const auto& name : blocked) {
    SCOPED_TRACE(name);
    Outcome run = RunCleanSlate(Cheater(), "Y1\r", name);
    EXPECT_EQ(run.halt_code, kRunErrorExitCode);
    EXPECT_EQ(run.player_dat, run.player_dat_before);
    EXPECT_EQ(run.output.find("punished"), std::string::npos);
  }
}

}  // namespace
