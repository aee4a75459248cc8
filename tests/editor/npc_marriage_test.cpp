// A player married to both characters, Quenna (MARRAGE.DAT) and Dask Able (MARBARD.DAT).
#include <gtest/gtest.h>

#include "editor/editor_state.h"
#include "editor/npc_marriage.h"
#include "fakes/door_harness.h"
#include "fakes/fake_clock.h"
#include "fakes/game_fixture.h"
#include "fakes/screen_text.h"
#include "runtime/files.h"

namespace {

// Both files name player 2: only with player 2 current the operator picks which marriage goes.
TEST(NpcMarriageTest, APlayerMarriedToBothCharactersIsOfferedTheMenu) {
  const struct {
    uint8_t current;
    const char* answer;
    int32_t result;
    bool dask_file_left, quenna_file_left;
    size_t asked;
  } cases[] = {
      {2, "0", 2, true, true, 1},      {2, "1", -1, false, true, 1},
      {2, "2", 2, true, false, 1},     {2, "3", -1, false, false, 1},
      {2, "259", -1, false, false, 1}, {2, "9", 2, true, true, 1},
      {0, "", 2, true, true, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.current) + " " + c.answer);
    TempGameDir game;
    StartEditorOn(game, {MakePlayer("P0", "R0"), MakePlayer("P1", "R1"), MakePlayer("P2", "R2")},
                  c.current);
    game.WriteFile("MARBARD.DAT", "2\r\n");
    game.WriteFile("MARRAGE.DAT", "2\r\n");
    OutputRecorder output;
    TypeKeys(std::string(c.answer) + "\r");
    EXPECT_EQ(ReadDaskSpouse(), c.result);
    EXPECT_EQ(game.Exists("MARBARD.DAT"), c.dask_file_left);
    EXPECT_EQ(game.Exists("MARRAGE.DAT"), c.quenna_file_left);
    EXPECT_EQ(CountOf(output.Bytes(), "Houston we have a problem!"), c.asked);
    EXPECT_EQ(CountOf(output.Bytes(),
                      "0=No change, 1=Remove Dask, 2=Remove Quenna, 3=Remove Both."),
              c.asked);
  }
}

// Work records carry other players; a write goes only to the record the buffer was read from, so a
// stale buffer never lands on another player nor becomes a new one at the end.
TEST(NpcMarriageTest, WorkRecordsWriteOnlyThePlayerTheyWereReadFrom) {
  TempGameDir game;
  PlayerRecord wife = MakePlayer("P1", "R1", 7);
  wife.sex = 5;
  StartEditorOn(game, {MakePlayer("P0", "R0"), wife});
  game.WriteFile("MARRAGE.DAT", " 1\x1a");
  EXPECT_EQ(ReadQuennaSpouse(), 1);
  EXPECT_EQ(quenna_spouse, 1);
  EXPECT_EQ(RecordBytes(work_records[7]), RecordBytes(wife));
  EXPECT_FALSE(same_sex);
  work_records[7].name.Set("Renamed");
  SaveWorkRecord(1, 7);
  EXPECT_EQ(game.ReadPlayer(1).name.Get(), "Renamed");
  OutputRecorder output;
  for (int32_t elsewhere : {0, 2, -1}) SaveWorkRecord(elsewhere, 7);
  EXPECT_EQ(game.ReadPlayer(0).name.Get(), "P0");
  EXPECT_EQ(game.ReadFile("PLAYER.DAT").size(), 2 * kPlayerRecordSize);
  EXPECT_EQ(CountOf(output.Take(), "record could not be read!"), 3u);
  EXPECT_TRUE(LoadWorkRecord(0, 7));
  EXPECT_TRUE(same_sex);
  EXPECT_EQ(work_records[7].name.Get(), "P0");
  // A node holding the file past the wait: the write is reported, not dropped in silence; a read
  // fails and leaves the buffer, which then is written nowhere.
  SetFileOpenMode(fmExclusive);
  OsFile node;
  ASSERT_TRUE(FileOpen(node, player_path, faReadWrite));
  {
    FakeClock clock(0, 10);
    SaveWorkRecord(0, 7);
    EXPECT_NE(output.Take().find("Player 0's record was not written."), std::string::npos);
    EXPECT_FALSE(LoadWorkRecord(1, 7));
  }
  FileClose(node);
  EXPECT_EQ(work_records[7].name.Get(), "P0");
  SaveWorkRecord(1, 7);
  EXPECT_EQ(game.ReadPlayer(1).name.Get(), "Renamed");
}

}  // namespace
