// Player search (Y) and deletion (X), through the main loop on a temp game directory.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor/editor_state.h"
#include "editor/main_screen.h"
#include "editor/search.h"
#include "fakes/door_harness.h"
#include "fakes/game_fixture.h"
#include "fakes/screen_text.h"

namespace {

using namespace std::string_literals;

const std::string kErrorLine = " Search Error! No match found for ";

std::string Offer(const std::string& name, const std::string& real_name) {
  return "  Are you looking for:  " + name + " known as " + real_name + "?";
}

class SearchTest : public ::testing::Test {
 protected:
  TempGameDir game;
  std::vector<PlayerRecord> players = {
      MakePlayer("Brannock", "JOHN DOE", 1), MakePlayer("Kelda", "KELLY RIVERS", 2),
      MakePlayer("Gorm", "ELDON SMITH", 3), MakePlayer("Vela", "MARA FEN", 4),
      MakePlayer("Bo`4rin", "NOBODY", 5), MakePlayer("Zed", "JO`4HN `2SMITH", 6)};

  // The keys (then Q) on player `start`; the text shown, ANSI sequences removed.
  std::string Run(const std::string& keys, uint8_t start = 0) {
    StartEditorOn(game, players, start);
    OutputRecorder recorder;
    TypeKeys(keys + "Q");
    MainLoop();
    return StripAnsi(recorder.Bytes());
  }
};

TEST_F(SearchTest, OffersMatchesInRecordOrderAndAcceptingMovesThere) {
  std::string shown = Run("Yeld\rNY");
  size_t kelda = shown.find(Offer("Kelda", "KELLY RIVERS"));
  ASSERT_NE(kelda, std::string::npos) << shown;
  EXPECT_LT(kelda, shown.find(Offer("Gorm", "ELDON SMITH")));
  EXPECT_EQ(CountOf(shown, "Are you looking for"), 2u);
  EXPECT_EQ(shown.find(kErrorLine), std::string::npos);
  EXPECT_EQ(current_player, 2);
  EXPECT_NE(FindScreenRow("Account Number: 2"), 0);
  for (size_t i = 0; i < players.size(); ++i)
    EXPECT_EQ(RecordBytes(game.ReadPlayer(static_cast<int>(i))), RecordBytes(players[i])) << i;

  // Declining every match keeps the player and shows the answer as typed.
  shown = Run("YeLd\rNN", 3);
  EXPECT_NE(shown.find(kErrorLine + "eLd!"), std::string::npos) << shown;
  EXPECT_EQ(current_player, 3);

  shown = Run("Y\x1b");
  EXPECT_NE(shown.find(kErrorLine + "!"), std::string::npos) << shown;
  EXPECT_EQ(CountOf(shown, "Are you looking for"), 0u);
}

// A colour code inside an in-game name blocks a match across it; a real name matches on its visible
// letters.
TEST_F(SearchTest, CodesBlockTheInGameNameButNotTheRealName) {
  std::string shown = Run("Yborin\r");
  EXPECT_NE(shown.find(kErrorLine + "borin!"), std::string::npos) << shown;
  EXPECT_EQ(CountOf(shown, "Are you looking for"), 0u);

  shown = Run("Yjohn smith\rY");
  EXPECT_NE(shown.find(Offer("Zed", "JOHN SMITH")), std::string::npos) << shown;
  EXPECT_EQ(current_player, 5);
}

TEST_F(SearchTest, OnlyTheFirst256RecordsAreSearched) {
  players.clear();
  for (uint32_t n = 0; n < 257; ++n) players.push_back(MakePlayer("P", "R", n));
  players[255].name.Set("Yorik");
  players[256].name.Set("Yorik Too");
  std::string shown = Run("Yyorik\rN");
  EXPECT_EQ(CountOf(shown, "Are you looking for"), 1u) << shown;
  EXPECT_NE(shown.find(Offer("Yorik", "R")), std::string::npos);
}

// Only a plain Y deletes: an extended key with the scan code of Y does not. A deleted player is
// named X both ways, and the search finds it by that.
TEST_F(SearchTest, DeletionAsksFirstAndNamesBothX) {
  for (const std::string& answer : {"N"s, "\0YN"s}) {
    SCOPED_TRACE(testing::PrintToString(answer));
    game.WritePlayers(players);
    std::string file_before = game.ReadFile("PLAYER.DAT");
    std::string shown = Run("X" + answer, 1);
    EXPECT_EQ(game.ReadFile("PLAYER.DAT"), file_before);
    EXPECT_NE(shown.find("  Warning Brannock!  Player Deletion! \r\n  Are you SURE you want to "
                         "delete the player: Kelda\r\n  known as KELLY RIVERS?   Enter Y or N as "
                         "response: No"),
              std::string::npos) << shown;
  }
  std::string shown = Run("XY]Yx\rY", 1);
  players[1].name.Set("X");
  players[1].real_name.Set("X");
  for (size_t i = 0; i < players.size(); ++i)
    EXPECT_EQ(RecordBytes(game.ReadPlayer(static_cast<int>(i))), RecordBytes(players[i])) << i;
  EXPECT_NE(shown.find(Offer("X", "X")), std::string::npos) << shown;
  EXPECT_EQ(current_player, 1);
}

// An emptied PLAYER.DAT has no record 0 to read: the search says it found nothing and the editor
// goes on.
TEST_F(SearchTest, AnEmptyPlayerFileIsNoMatchNotAnEnd) {
  StartEditorOn(game, players);
  game.WriteFile("PLAYER.DAT", "");
  OutputRecorder recorder;
  TypeKeys("bo\r");
  EXPECT_NO_THROW(SearchPlayer());
  EXPECT_NE(StripAnsi(recorder.Bytes()).find(kErrorLine + "bo!"), std::string::npos);
}

}  // namespace
