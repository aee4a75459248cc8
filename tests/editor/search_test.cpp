// Player search (Y) and deletion (X), through the main loop on a temp game directory.
#include <gtest/gtest.h>

#include <filesystem>
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
      MakePlayer("Gorm", "ELDON SMITH", 3), MakePlayer("Vela", "MARA FEN", 4)};

  // The keys (then Q) on player `start`; the text shown, ANSI sequences removed.
  std::string Run(const std::string& keys, uint8_t start = 0) {
    game.WritePlayers(players);
    StartEditorOn(game, start);
    OutputRecorder recorder;
    TypeKeys(keys + "Q");
    MainLoop();
    return StripAnsi(recorder.Bytes());
  }
};

TEST_F(SearchTest, OffersMatchesInRecordOrderAndAcceptingMovesThere) {
  std::string shown = Run("Yeld\rNY");
  size_t kelda = shown.find(Offer("Kelda", "KELLY RIVERS"));
  size_t eldon = shown.find(Offer("Gorm", "ELDON SMITH"));
  ASSERT_NE(kelda, std::string::npos) << shown;
  ASSERT_NE(eldon, std::string::npos) << shown;
  EXPECT_LT(kelda, eldon);
  EXPECT_EQ(CountOf(shown, "Are you looking for"), 2u);
  EXPECT_NE(shown.find("Player Search: Enter full or partial name."), std::string::npos);
  EXPECT_EQ(CountOf(shown, "  Enter Y or N as response. "), 2u);
  EXPECT_EQ(shown.find(kErrorLine), std::string::npos);

  EXPECT_EQ(current_player, 2);
  EXPECT_EQ(current_record.name.Get(), "Gorm");
  EXPECT_NE(FindScreenRow("Account Number: 2"), 0);
  std::vector<PlayerRecord> on_disk = game.ReadPlayers();
  ASSERT_EQ(on_disk.size(), players.size());
  for (size_t i = 0; i < players.size(); ++i)
    EXPECT_EQ(RecordBytes(on_disk[i]), RecordBytes(players[i])) << "record " << i;
}

TEST_F(SearchTest, DecliningEveryMatchKeepsThePlayerAndShowsTheAnswerAsTyped) {
  std::string shown = Run("YeLd\rNN", 3);
  EXPECT_NE(shown.find(kErrorLine + "eLd!"), std::string::npos) << shown;
  EXPECT_EQ(current_player, 3);
  EXPECT_EQ(current_record.name.Get(), "Vela");
}

TEST_F(SearchTest, MatchesWhateverTheCaseOfTheSearchText) {
  struct Case {
    std::string typed;
    uint8_t found;
  } cases[] = {{"rannoc", 0}, {"kel", 1}, {"smith", 2}, {"gOR", 2}, {"Mara f", 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    Run("Y" + c.typed + "\rY", c.found == 0 ? 1 : 0);
    EXPECT_EQ(current_player, c.found);
  }
}

TEST_F(SearchTest, CodesBlockTheInGameNameButNotTheRealName) {
  players = {MakePlayer("Ke`4lda", "NOBODY", 1), MakePlayer("Zed", "JO`4HN `2SMITH", 2)};

  std::string shown = Run("Ykelda\r");
  EXPECT_NE(shown.find(kErrorLine + "kelda!"), std::string::npos) << shown;
  EXPECT_EQ(CountOf(shown, "Are you looking for"), 0u);

  shown = Run("Yjohn smith\rY");
  EXPECT_NE(shown.find(Offer("Zed", "JOHN SMITH")), std::string::npos) << shown;
  EXPECT_EQ(current_player, 1);

  // The stored text, code included, is what the in-game name is matched on.
  shown = Run("Ye`4l\rY", 1);
  EXPECT_NE(shown.find(Offer("Kelda", "NOBODY")), std::string::npos) << shown;
  EXPECT_EQ(current_player, 0);
}

TEST_F(SearchTest, EscGivesTheErrorLineWithAnEmptyAnswer) {
  std::string shown = Run("Y\x1b");
  EXPECT_NE(shown.find(kErrorLine + "!"), std::string::npos) << shown;
  EXPECT_EQ(CountOf(shown, "Are you looking for"), 0u);
}

TEST_F(SearchTest, MissingPlayerFileMakesTheSearchDoNothing) {
  game.WritePlayers(players);
  StartEditorOn(game, 1);
  std::filesystem::remove(game.PathOf("PLAYER.DAT"));
  OutputRecorder recorder;
  SearchPlayer();
  EXPECT_EQ(recorder.Bytes(), "");
  EXPECT_EQ(current_player, 1);
}

TEST_F(SearchTest, OnlyTheFirst256RecordsAreSearched) {
  players.clear();
  // append, not "P" + ...: g++ 12 at -O3 gives a false -Wrestrict warning for that.
  for (uint32_t n = 0; n < 300; ++n)
    players.push_back(MakePlayer(std::string("P").append(std::to_string(n)), "R", n));
  players[255].name.Set("Yorik");
  players[256].name.Set("Yorik Too");

  std::string shown = Run("Yyorik\rN");
  EXPECT_EQ(CountOf(shown, "Are you looking for"), 1u) << shown;
  EXPECT_NE(shown.find(Offer("Yorik", "R")), std::string::npos);
  EXPECT_NE(shown.find(kErrorLine + "yorik!"), std::string::npos);

  Run("Yyorik\rY");
  EXPECT_EQ(current_player, 255);
  EXPECT_EQ(current_record.name.Get(), "Yorik");
}

TEST_F(SearchTest, DeletionNamesBothXAndTheSearchFindsIt) {
  std::string shown = Run("XY]Yx\rY", 1);
  PlayerRecord expected = players[1];
  expected.name.Set("X");
  expected.real_name.Set("X");
  std::vector<PlayerRecord> on_disk = game.ReadPlayers();
  ASSERT_EQ(on_disk.size(), players.size());
  EXPECT_EQ(RecordBytes(on_disk[1]), RecordBytes(expected));
  for (size_t i : {0u, 2u, 3u}) EXPECT_EQ(RecordBytes(on_disk[i]), RecordBytes(players[i])) << i;

  EXPECT_NE(shown.find(Offer("X", "X")), std::string::npos) << shown;
  EXPECT_EQ(current_player, 1);
}

TEST_F(SearchTest, AnythingButYAtTheDeletionPromptLeavesTheFileAlone) {
  const std::string answers[] = {"N", "\r", "n", "x7N", "\0Y\r"s, "\0YN"s};
  for (const std::string& answer : answers) {
    SCOPED_TRACE(testing::PrintToString(answer));
    game.WritePlayers(players);
    std::string file_before = game.ReadFile("PLAYER.DAT");
    std::string shown = Run("X" + answer, 1);
    EXPECT_EQ(game.ReadFile("PLAYER.DAT"), file_before);
    EXPECT_NE(shown.find("  Warning Brannock!  Player Deletion! "), std::string::npos);
    EXPECT_NE(shown.find("  Are you SURE you want to delete the player: Kelda"), std::string::npos);
    EXPECT_NE(shown.find("  known as KELLY RIVERS?   Enter Y or N as response: No"),
              std::string::npos)
        << shown;
  }
}

}  // namespace
