// The main loop as the sysop drives it, each change checked on disk: the field editors and the
// repair, search (Y) and deletion (X), and what a save that cannot be made leaves on the screen.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "editor/editor_state.h"
#include "editor/main_screen.h"
#include "editor/operation.h"
#include "editor/player_file.h"
#include "editor/search.h"
#include "fakes/door_harness.h"
#include "fakes/fake_clock.h"
#include "fakes/game_fixture.h"
#include "fakes/screen_text.h"
#include "runtime/clock.h"
#include "runtime/files.h"

namespace {

const std::string kErrorLine = " Search Error! No match found for ";

std::string Offer(const std::string& name, const std::string& real_name) {
  return "  Are you looking for:  " + name + " known as " + real_name + "?";
}

class MainScreenTest : public ::testing::Test {
 protected:
  TempGameDir game;
  OutputRecorder recorder;  // emptied by each start of the editor
  std::vector<PlayerRecord> players = {
      MakePlayer("Brannock", "JOHN DOE", 1), MakePlayer("Kelda", "KELLY RIVERS", 2),
      MakePlayer("Gorm", "ELDON SMITH", 3), MakePlayer("Vela", "MARA FEN", 4),
      MakePlayer("Bo`4rin", "NOBODY", 5), MakePlayer("Zed", "JO`4HN `2SMITH", 6)};

  // The keys (then Q) on player `start`; the text shown, ANSI sequences removed.
  std::string Run(const std::string& keys, uint8_t start = 0) {
    StartEditorOn(game, players, start);
    TypeKeys(keys + "Q");
    MainLoop();
    return StripAnsi(recorder.Bytes());
  }
  // Player 0 as on disk after the keys (then Q) on it; player 1 beside it must not change. A mark
  // made in memory only (time_on 4242) reaches the disk once an editor saves.
  PlayerRecord RunKeys(const PlayerRecord& edited, const std::string& keys) {
    StartEditorOn(game, {edited, players[1]});
    editor_state.current_record.time_on = 4242;
    TypeKeys(keys + "Q");
    MainLoop();
    EXPECT_EQ(RecordBytes(game.ReadPlayer(1)), RecordBytes(players[1])) << "player 1 changed";
    return game.ReadPlayer(0);
  }
};

#define F PLAYER_FIELD

using Values = std::vector<std::pair<FieldRef, int64_t>>;

// The whole record is compared, so a wrong field, a missing save or a touched reserved byte fails;
// the mark made in memory reaches the disk only with a save (Esc saves nothing). The check
// command's test compares its findings with the repair ($A), which shares its rules: the arithmetic
// is checked here.
TEST_F(MainScreenTest, EditorsAndTogglesStoreTheirFieldOnly) {
  const struct {
    std::string keys;
    Values before, after;
    std::vector<std::string> said = {};  // shown, in this order
    bool saved = true;
  } cases[] = {
      {"4-5\r", {}, {{F(hit_points), 0}}},
      {"665537\r", {}, {{F(hit_max), 32000}}},  // would be 1 if cut to 16 bits before the clamp
      {"825\r", {}, {{F(weapon_num), 20}}},     // its prompt says 15
      {"00\r", {}, {{F(player_fights), 0}}},
      {"0-3\r", {}, {{F(player_fights), 1}}},
      {"M4294967297\r", {}, {{F(gold), kTwoBillion}}},  // would be 1 if cut to 32 bits
      {"A", {{F(skill_class), 3}}, {{F(skill_class), 1}}},
      {"A", {{F(skill_class), 4}}, {}},
      {"B", {{F(sex), 3}}, {{F(sex), 5}}},
      {"P", {{F(dead), 5}, {F(hit_points), 0}}, {{F(dead), 0}, {F(hit_points), 60}}},
      {"P", {{F(dead), 5}, {F(hit_points), 70}}, {{F(dead), 0}}},  // more than the maximum kept
      {"P", {{F(dead), 3}}, {{F(dead), 5}, {F(hit_points), 0}}},   // anything but 5 is alive
      {"$F300\rQ", {}, {{F(skill_thief), 100}}},
      {"$1Q", {}, {{F(high_spirits), 0}}},
      {"$1Q", {{F(high_spirits), 7}}, {}},  // neither on nor off: left alone
      {"$9Q", {}, {{F(high_spirits), 0}, {F(weird_event), 5}}},
      // The thief's uses come from the skill before the skill is capped.
      {"$AQ", {{F(lays), -4}, {F(skill_thief), 110}, {F(uses_thief), -3}},
       {{F(lays), 0}, {F(uses_thief), 27}, {F(skill_thief), 100}}},
      // A repair names each mend. A skill byte of 128 or more is negative; two billion is kept. A
      // level-based value is 32 bits (the bank's) or stored in the field's width, as the game's is.
      {"$AQ", {{F(hit_points), 32500}, {F(hit_max), 1000}},
       {{F(hit_max), 32000}, {F(hit_points), 32000}},
       {"invalid Max Hitpoints", "above-range Max Hitpoints", "above-range Hitpoints"}},
      {"$AQ", {{F(skill_dk), 200}, {F(gold), kTwoBillion}}, {{F(skill_dk), 1}},
       {"negative DK Skill"}},
      {"$AQ", {{F(level), 12}, {F(bank), -1}}, {{F(bank), 120000}}, {"negative Bank Gold"}},
      {"$AQ", {{F(level), 1700}, {F(defense), -1}}, {{F(defense), 34000 - 65536}, {F(level), 12}},
       {"negative Defense", "exceeded 12"}},
      {"$*Q", {{F(skill_mystic), 7}, {F(uses_mystic), 8}}, {{F(uses_dk), 3}}},  // 8 div 4 + 1
      // A damaged thief skill: -6 div 4 rounds toward zero, plus 1 for the class.
      {"$*Q", {{F(skill_class), 3}, {F(skill_thief), -6}, {F(uses_thief), -3}},
       {{F(uses_thief), 0}}},
      {"$*Q", {{F(skill_class), 0}, {F(uses_dk), -56}}, {{F(uses_dk), 2}}},  // a signed byte
      // The mystic bonus on 127 would wrap: the byte's top is kept.
      {"$*Q", {{F(skill_class), 2}, {F(skill_mystic), 127}}, {{F(uses_mystic), 127}}},
      {"3ab\x1b" "M12\x1b" "$6\x1b" "B5\x1b" "F\x1bQ", {}, {}, {}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << &c - cases << ": " << testing::PrintToString(c.keys));
    PlayerRecord before = players[0];
    for (const auto& [field, value] : c.before) WriteField(before, field, value);
    PlayerRecord expected = before;
    for (const auto& [field, value] : c.after) WriteField(expected, field, value);
    if (c.saved) expected.time_on = 4242;
    EXPECT_EQ(RecordBytes(RunKeys(before, c.keys)), RecordBytes(expected));
    EXPECT_TRUE(ShownInOrder(recorder.Bytes(), c.said));
  }
}

#undef F

// Real names are upper-cased, in-game names kept as typed; a 21st character is not taken. The
// whole record is compared: only the texts' bytes may change.
TEST_F(MainScreenTest, TextEditorsStoreTheirTextOnly) {
  PlayerRecord expected = players[0];
  expected.time_on = 4242;
  expected.real_name.Set("ABCDEFGHIJKLMNOPQRST");
  expected.name.Set("Kelda `2the Bold");
  expected.armour_name.Set("Rags");
  EXPECT_EQ(RecordBytes(RunKeys(players[0], "1abcdefghijklmnopqrstu\r3Kelda `2the Bold\rKRags\r")),
            RecordBytes(expected));
}

// A colour code inside an in-game name blocks a match across it; only 256 records are searched.
TEST_F(MainScreenTest, SearchOffersMatchesAndAcceptingMovesThere) {
  std::string shown = Run("Yeld\rNY");
  EXPECT_LT(shown.find(Offer("Kelda", "KELLY RIVERS")), shown.find(Offer("Gorm", "ELDON SMITH")));
  EXPECT_EQ(editor_state.current_player, 2);
  EXPECT_NE(Run("YeLd\rNN", 3).find(kErrorLine + "eLd!"), std::string::npos);
  EXPECT_EQ(editor_state.current_player, 3);
  EXPECT_NE(Run("Yborin\r").find(kErrorLine + "borin!"), std::string::npos);
  EXPECT_NE(Run("Yjohn smith\rY").find(Offer("Zed", "JOHN SMITH")), std::string::npos);
  EXPECT_EQ(editor_state.current_player, 5);
  players.clear();
  for (uint32_t n = 0; n < 257; ++n) players.push_back(MakePlayer("P", "R", n));
  players[255].name.Set("Yorik");
  players[256].name.Set("Yorik Too");
  shown = Run("Yyorik\rN");
  EXPECT_EQ(CountOf(shown, "Are you looking for"), 1u) << shown;
  // An emptied PLAYER.DAT has no record 0 to read: no match, and the editor goes on.
  game.WriteFile("PLAYER.DAT", "");
  recorder.Take();
  TypeKeys("bo\r");
  EXPECT_NO_THROW(SearchPlayer());
  EXPECT_NE(StripAnsi(recorder.Bytes()).find(kErrorLine + "bo!"), std::string::npos);
}

// No keeps the player; Y names it X both ways, and the search finds it by that.
TEST_F(MainScreenTest, DeletionAsksFirstAndNamesBothX) {
  Run("XN", 1);
  EXPECT_EQ(game.ReadFile("PLAYER.DAT"), PlayersBytes(players));
  std::string shown = Run("XY]Yx\rY", 1);
  players[1].name.Set("X");
  players[1].real_name.Set("X");
  EXPECT_EQ(game.ReadFile("PLAYER.DAT"), PlayersBytes(players));
  EXPECT_NE(shown.find(Offer("X", "X")), std::string::npos) << shown;
  EXPECT_EQ(editor_state.current_player, 1);
}

// A count read as 0 once sent [ to record 255 and an I/O error; only a busy file is waited for, 5 s
// even across midnight. A change kept in memory is saved by Q once the node lets go.
TEST_F(MainScreenTest, AnUnusableFileKeepsTheEditorOnThePlayerAndNamesTheCause) {
  namespace fs = std::filesystem;
  const struct {
    std::string cause, keys;
    bool held = false;  // PLAYER.DAT, by a node
  } cases[] = {{"missing", "[Ycy\rQ"}, {"unwritable", "[Ycy\rQTQ"},
               {"busy", "[Ycy\rQTQQ", true}, {"released", "Q", true}};
  players = {MakePlayer("Ada", "A"), MakePlayer("Bo", "B"), MakePlayer("Cy", "C")};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.cause);
    StartEditorOn(game, players);
    const std::string path = game.PathOf("PLAYER.DAT"), file = game.ReadFile("PLAYER.DAT");
    if (!c.held) fs::remove(path);
    if (c.cause == "unwritable") fs::create_directory(path);
    OsFile node = HoldExclusively(path, c.held);
    {
      FakeClock clock(kMsPerDay - 2'000, 10);
      editor_state.current_record.gems = 77;
      EXPECT_FALSE(SaveCurrentPlayer());
      const int32_t waited = MsElapsed(kMsPerDay - 2'000, MsOfDay());
      EXPECT_EQ(waited > 5'000 && waited < 5'100, c.held) << waited << " ms waited";
      if (c.cause == "released") FileClose(node);
      TypeKeys(c.keys);
      EXPECT_EQ(HaltCodeOf(MainLoop), c.held ? -1 : 1);  // 1: still awaiting a key
    }
    FileClose(node);
    EXPECT_EQ(editor_state.current_player, 0);
    const std::string text = StripAnsi(recorder.Bytes());
    EXPECT_EQ(text.find("Search Error!"), std::string::npos);
    EXPECT_NE(text.find("  PLAYER.DAT is " + (c.held ? std::string("busy") : c.cause) +
                        "!  The change is kept in memory until the next save."),
              std::string::npos);
    EXPECT_EQ(text.find("Quit without saving:  the change to this player is lost.") !=
                  std::string::npos, c.cause == "busy");
    if (c.cause == "released") {
      EXPECT_EQ(+game.ReadPlayer(0).gems, 77) << "not saved once let go";
    }
    if (c.cause == "busy") {
      EXPECT_EQ(game.ReadFile("PLAYER.DAT"), file);
    }
    if (c.held) continue;
    EXPECT_EQ(fs::exists(path), c.cause != "missing") << "a save made a new PLAYER.DAT";
    EXPECT_EQ(ScreenRow(24), "  Press Q again to quit and lose the change.");
    fs::remove_all(path);
  }
}

}  // namespace
