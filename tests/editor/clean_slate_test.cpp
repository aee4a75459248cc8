// The "Clean Slate" reset driven through the main loop's keys, checked on disk.
#include "editor/clean_slate.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "editor/editor_state.h"
#include "editor/main_screen.h"
#include "fakes/door_harness.h"
#include "fakes/fake_clock.h"
#include "fakes/game_fixture.h"
#include "fakes/screen_text.h"
#include "runtime/files.h"
#include "runtime/halt.h"

namespace {

using Names = std::vector<std::string>;

// Every field a reset touches holds something else here (MakePlayer's values do for the others);
// married_to, sex and on_now are set too, to show that the reset leaves them alone.
PlayerRecord Cheater(uint8_t skill_class = 2) {
  PlayerRecord r = MakePlayer("`4Grim", "GRIM GRIMSON", 21);
  r.player_fights = r.seen_master = r.seen_quenna = r.seen_dragon = r.horse = r.kids = 5;
  r.inn = r.dead = r.seen_bard = r.flirted = r.on_now = r.sex = 5;
  r.games_won = 2, r.married_to = 2, r.skill_class = skill_class;
  r.skill_dk = 40, r.skill_mystic = 5, r.skill_thief = 0;
  r.uses_dk = 7, r.uses_mystic = 8, r.uses_thief = 9;
  return r;
}

// The record a reset of that type should leave. Post-dragon keeps charm, family, skills and kills;
// entry level takes them too and sets the skill uses as given.
PlayerRecord Expected(PlayerRecord r, int type, int8_t dk, int8_t mystic, int8_t thief) {
  const bool entry = type == 1;
  r.hit_points = r.hit_max = 20, r.strength = 10, r.gold = 500, r.bank = 0;
  r.defense = r.level = r.weapon_num = r.armour_num = 1;
  r.weapon_name.Set("Stick");
  r.armour_name.Set("Coat");
  r.inn = r.dead = r.seen_bard = r.seen_master = r.seen_quenna = r.seen_dragon = 0;
  r.experience = entry ? 1 : 10, r.forest_fights = entry ? 30 : 50;
  r.player_fights = entry ? 3 : 4, r.gems = entry ? 0 : 10;
  if (!entry) return r;
  r.charm = 1;
  r.lays = r.kids = r.games_won = r.kills = r.horse = r.flirted = 0;
  r.skill_dk = r.skill_mystic = r.skill_thief = 0;
  r.uses_dk = dk, r.uses_mystic = mystic, r.uses_thief = thief;
  return r;
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
  std::string player_dat_before, player_dat;
  Names names;
  std::string mail;    // MAIL1.DAT
  std::string output;  // without ANSI sequences
  std::optional<int> halt_code;
  PlayerRecord record;  // current_record at the end
};

// Three players; the editor starts on player 1, presses #, types keys, then Q. blocked names a
// directory made in the way of a file, or PLAYER.DAT for a file held by a game node throughout.
Outcome RunCleanSlate(const PlayerRecord& cheater, const std::string& keys,
                      const std::string& blocked = "") {
  TempGameDir game;
  game.WritePlayers({MakePlayer("Kelda", "KELDA SMITH", 11), cheater, MakePlayer("Bo", "BO", 13)});
  if (!blocked.empty() && blocked != "PLAYER.DAT") game.MakeDir(blocked);
  Outcome run;
  run.player_dat_before = game.ReadFile("PLAYER.DAT");
  StartEditorOn(game, 1);
  OutputRecorder recorder;
  TypeKeys("#" + keys + "Q");
  {
    SetFileOpenMode(fmExclusive);
    OsFile node;
    if (blocked == "PLAYER.DAT") {
      EXPECT_TRUE(FileOpen(node, player_path, faReadWrite));
    }
    FakeClock clock(0, 50);  // the wait for the node passes at once
    if (int code = HaltCodeOf(MainLoop); code != -1) run.halt_code = code;
    run.record = current_record;
  }
  run.player_dat = game.ReadFile("PLAYER.DAT");
  run.names = game.Names();
  run.mail = game.ReadFile("MAIL1.DAT");
  run.output = StripAnsi(recorder.Bytes());
  return run;
}

// Keys typed after #, and the outcome: -1 declined at the question, 0 aborted at the type, else
// the reset type. The uses are those an entry-level reset should leave for the class.
struct KeyCase {
  std::string keys;
  int type;
  uint8_t skill_class = 2;
  int8_t dk = 0, mystic = 1, thief = 0;
};

TEST(CleanSlate, TypedKeysDecideTheResetAndTheLowByteOfTheSelectionCounts) {
  const KeyCase cases[] = {
      {"y1\r", 1},   {"Y2\r", 2},   {"Y3\r", 2},   {"Y127\r", 2}, {"Y257\r", 1},   {"Y  2x\r", 2},
      {"Y200\r", 0}, {"Y128\r", 0}, {"Y256\r", 0}, {"Y0\r", 0},   {"Y\x1b\r", 0}, {"Yabc\r", 0},
      {"Y-1\r", 0},  {"N", -1},      {"n", -1},      {"\r", -1},    {std::string("x7\0YN", 5), -1},
      {"Y1\r", 1, 1, 1, 0, 0}, {"Y1\r", 1, 3, 0, 0, 1}, {"Y1\r", 1, 0, 7, 8, 9},
      {"Y1\r", 1, 4, 7, 8, 9}};  // classes 0 and 4 have no skill to give the use to: uses stay
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.keys) + " on class " + std::to_string(c.skill_class));
    const PlayerRecord before = Cheater(c.skill_class);
    Outcome run = RunCleanSlate(before, c.keys);
    ASSERT_FALSE(run.halt_code);
    std::vector<std::string> shown = {
        " Player Status Info: Clean Slate Reset of Player In Progress!",
        "  Do \"Clean Slate\" Reset Now? of player: Grim?",
        std::string("  Enter Y or N as response. ") + (c.type < 0 ? "No" : "Yes")};
    if (c.type < 0) {
      shown.push_back(" Player Status Info: \"Clean Slate\" Changes aborted!");
    } else {
      shown.insert(shown.end(), {"  Choose Reset Type:  1= Entry Level. 2= Post-Dragon.",
                                 "    0= Abort.  Enter selection code now:  "});
    }
    if (c.type <= 0) {
      EXPECT_EQ(run.player_dat, run.player_dat_before);
      EXPECT_EQ(run.names, (Names{"PLAYER.DAT"}));
      if (c.type == 0) {
        shown.push_back(" Clean Slate Warning: Invalid response entered. Terminating process.");
      }
    } else {
      std::string expected = run.player_dat_before;  // only record 1 changes
      expected.replace(kPlayerRecordSize, kPlayerRecordSize,
                       RecordBytes(Expected(before, c.type, c.dk, c.mystic, c.thief)));
      EXPECT_EQ(run.player_dat, expected);
      EXPECT_EQ(run.names, (Names{"LOGNOW.TXT", "MAIL1.DAT", "PLAYER.DAT"}));
      const std::string header =
          "  `%Attention: `$`4Grim:  {Clean Slate Message #" + std::to_string(c.type) + "]\r\n";
      EXPECT_EQ(run.mail.substr(0, header.size()), header);
      shown.insert(
          shown.end(),
          {"VarnEdit/32", " Clean State Info: Grim has been punished!  Stats Reset Finished!",
           " Clean Slate Note: Player has been notified by mail, Daily News messages."});
    }
    ExpectInOrder(run.output, shown);
  }
}

// The mail and news go out only with the reset: a PLAYER.DAT held past the wait gets neither, the
// reset is not kept in memory either, and the sysop is told.
TEST(CleanSlate, ABusyPlayerFileGetsNoResetAndNoNotices) {
  const PlayerRecord before = Cheater();
  Outcome run = RunCleanSlate(before, "Y1\r", "PLAYER.DAT");
  EXPECT_FALSE(run.halt_code);
  EXPECT_EQ(run.player_dat, run.player_dat_before);
  EXPECT_EQ(run.names, (Names{"PLAYER.DAT"}));
  EXPECT_EQ(RecordBytes(run.record), RecordBytes(before));
  EXPECT_NE(
      run.output.find("  PLAYER.DAT is busy!  Clean Slate not done: no reset, no mail or news."),
      std::string::npos) << run.output;
  EXPECT_EQ(run.output.find("punished"), std::string::npos);
}

TEST(CleanSlate, NoticeThatCannotBeWrittenEndsTheProgramBeforeTheSave) {
  const struct {
    const char* blocked;
    Names after;
  } cases[] = {
      {"MAIL1.DAT", {"MAIL1.DAT", "PLAYER.DAT"}},                 // nothing written after it
      {"LOGNOW.TXT", {"LOGNOW.TXT", "MAIL1.DAT", "PLAYER.DAT"}},  // the mail went out first
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.blocked);
    Outcome run = RunCleanSlate(Cheater(), "Y1\r", c.blocked);
    EXPECT_EQ(run.halt_code, kRunErrorExitCode);
    EXPECT_EQ(run.player_dat, run.player_dat_before);
    EXPECT_EQ(run.names, c.after);
    EXPECT_EQ(run.output.find("punished"), std::string::npos);
  }
}

}  // namespace
