#include <gtest/gtest.h>

#include "editor/editor_state.h"
#include "editor/npc_marriage.h"
#include "fakes/door_harness.h"
#include "fakes/game_fixture.h"

namespace {

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class NpcMarriageTest : public ::testing::Test {
 protected:
  void Start(int players, uint8_t current = 0) {
    std::vector<PlayerRecord> records;
    for (int i = 0; i < players; ++i) {
      std::string number = std::to_string(i);
      records.push_back(MakePlayer(std::string("P").append(number),
                                   std::string("Real ").append(number),
                                   static_cast<uint32_t>(100 + i)));
    }
    records[1].sex = 5;
    game.WritePlayers(records);
    StartEditorOn(game, current);
  }
  TempGameDir game;
};

TEST_F(NpcMarriageTest, WithoutFilesNeitherCharacterIsMarriedAndNothingChanges) {
  Start(3);
  quenna_spouse = 42;
  dask_spouse = 43;
  EXPECT_FALSE(AnyNpcFileExists());
  EXPECT_EQ(ReadQuennaSpouse(), -1);
  EXPECT_EQ(ReadDaskSpouse(), -1);
  EXPECT_EQ(quenna_spouse, 42);
  EXPECT_EQ(dask_spouse, 43);
}

TEST_F(NpcMarriageTest, TheFirstNumberOfTheFileNamesTheSpouse) {
  struct Case {
    std::string content;
    int32_t spouse;
  };
  const Case cases[] = {
      {"12\r\n", 12},       {"", 0},      {"  \r\n 7 9\r\n", 7}, {"abc\r\n", 0},
      {"12abc\r\n", 0},     {"-1\r\n", -1}, {"+3", 3},
  };
  Start(13);
  for (const auto& c : cases) {
    game.WriteFile("MARRAGE.DAT", c.content);
    EXPECT_EQ(ReadQuennaSpouse(), c.spouse) << c.content;
    EXPECT_EQ(quenna_spouse, c.spouse) << c.content;
  }
  game.WriteFile("MARRAGE.DAT", "12\r\n");
  ReadQuennaSpouse();
  EXPECT_EQ(RecordBytes(work_records[7]), RecordBytes(game.ReadPlayer(12)));
  EXPECT_TRUE(AnyNpcFileExists());
}

TEST_F(NpcMarriageTest, DasksFileLoadsWorkRecordEightAndAnEmptyFileIsPlayerZero) {
  Start(3);
  game.WriteFile("MARBARD.DAT", "1\r\n");
  EXPECT_EQ(ReadDaskSpouse(), 1);
  EXPECT_EQ(dask_spouse, 1);
  EXPECT_EQ(RecordBytes(work_records[8]), RecordBytes(game.ReadPlayer(1)));
  EXPECT_FALSE(same_sex);  // player 1 is female, the current player 0 male
  game.WriteFile("MARBARD.DAT", "");
  EXPECT_EQ(ReadDaskSpouse(), 0);
  EXPECT_TRUE(same_sex);
}

// Both files name the current player (2): the operator picks which marriage goes.
TEST_F(NpcMarriageTest, APlayerMarriedToBothCharactersIsOfferedTheMenu) {
  struct Case {
    const char* answer;
    int32_t result;
    bool dask_file_left;
    bool quenna_file_left;
  };
  const Case cases[] = {
      {"0", 2, true, true},   {"1", -1, false, true}, {"2", 2, true, false},
      {"3", -1, false, false}, {"259", -1, false, false}, {"9", 2, true, true},
  };
  for (const auto& c : cases) {
    Start(4, 2);
    game.WriteFile("MARBARD.DAT", "2\r\n");
    game.WriteFile("MARRAGE.DAT", "2\r\n");
    OutputRecorder output;
    TypeKeys(std::string(c.answer) + "\r");
    EXPECT_EQ(ReadDaskSpouse(), c.result) << c.answer;
    EXPECT_EQ(game.Exists("MARBARD.DAT"), c.dask_file_left) << c.answer;
    EXPECT_EQ(game.Exists("MARRAGE.DAT"), c.quenna_file_left) << c.answer;
    EXPECT_EQ(Count(output.Bytes(), "Houston we have a problem!"), 1u) << c.answer;
    EXPECT_NE(output.Bytes().find("0=No change, 1=Remove Dask, 2=Remove Quenna, 3=Remove Both."),
              std::string::npos);
  }
}

TEST_F(NpcMarriageTest, KeepingBothMarriagesAsksAgainAtTheNextRead) {
  Start(4, 2);
  game.WriteFile("MARBARD.DAT", "2\r\n");
  game.WriteFile("MARRAGE.DAT", "2\r\n");
  OutputRecorder output;
  TypeKeys("0\r0\r");
  EXPECT_EQ(ReadDaskSpouse(), 2);
  EXPECT_EQ(ReadDaskSpouse(), 2);
  EXPECT_EQ(Count(output.Bytes(), "Houston we have a problem!"), 2u);
}

TEST_F(NpcMarriageTest, BothFilesNamingAnotherPlayerAskNothing) {
  Start(4, 0);
  game.WriteFile("MARBARD.DAT", "3\r\n");
  game.WriteFile("MARRAGE.DAT", "3\r\n");
  OutputRecorder output;
  EXPECT_EQ(ReadDaskSpouse(), 3);
  EXPECT_EQ(output.Bytes(), "");
  EXPECT_TRUE(game.Exists("MARBARD.DAT"));
  EXPECT_TRUE(game.Exists("MARRAGE.DAT"));
}

TEST_F(NpcMarriageTest, WorkRecordsReadExistingRecordsAndKeepTheirContentOtherwise) {
  Start(3);
  work_records[3].name.Set("Stale");
  LoadWorkRecord(-1, 3);
  LoadWorkRecord(3, 3);  // one past the last record
  LoadWorkRecord(9, 3);
  EXPECT_EQ(work_records[3].name.Get(), "Stale");
  LoadWorkRecord(2, 3);
  EXPECT_EQ(RecordBytes(work_records[3]), RecordBytes(game.ReadPlayer(2)));
  EXPECT_TRUE(same_sex);
}

TEST_F(NpcMarriageTest, WorkRecordsAreWrittenAtTheirOwnPlaceAndNeverPastTheEnd) {
  Start(3);
  std::string before = game.ReadFile("PLAYER.DAT");
  LoadWorkRecord(1, 5);
  work_records[5].charm = 999;
  SaveWorkRecord(1, 5);
  auto players = game.ReadPlayers();
  ASSERT_EQ(players.size(), 3u);
  EXPECT_EQ(int{players[1].charm}, 999);
  EXPECT_EQ(RecordBytes(players[0]), before.substr(0, kPlayerRecordSize));
  EXPECT_EQ(RecordBytes(players[2]), before.substr(2 * kPlayerRecordSize, kPlayerRecordSize));

  SaveWorkRecord(3, 5);  // would add a copy of player 1 as a fourth player
  SaveWorkRecord(-1, 5);
  EXPECT_EQ(game.ReadPlayers().size(), 3u);
}

}  // namespace
