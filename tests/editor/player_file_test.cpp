// PLAYER.DAT and TIME.DAT: the record's bytes, counting, reading, saving and the fatal errors.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "editor/editor_state.h"
#include "editor/player_file.h"
#include "fakes/door_harness.h"
#include "fakes/fake_clock.h"
#include "fakes/game_fixture.h"
#include "runtime/files.h"
#include "runtime/halt.h"

namespace {

class PlayerFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetDoorLibrary();
    EditorStateReset();
    game_dir = game.Dir();
  }
  TempGameDir game;
};

// Records of nothing but random bytes, each loaded, changed and saved: only the fields touched
// change, the reserved bytes and the bytes after a shortened text keep their values.
TEST_F(PlayerFileTest, ReadModifyWriteChangesOnlyTheFieldsTouched) {
  std::mt19937 random(7);
  std::string bytes(200 * kPlayerRecordSize, '\0');
  for (char& b : bytes) b = static_cast<char>(random());
  game.WriteFile("PLAYER.DAT", bytes);
  StartEditorOn(game);
  for (int n = 0; n < 200; ++n) {
    current_player = static_cast<uint8_t>(n);
    LoadCurrentPlayer();
    current_record.charm = static_cast<int16_t>(1000 + n);
    current_record.name.Set("Zed");
    SaveCurrentPlayer();
  }
  std::string after = game.ReadFile("PLAYER.DAT");
  ASSERT_EQ(after.size(), bytes.size());
  for (size_t n = 0; n < 200; ++n) {
    PlayerRecord expected;
    std::memcpy(&expected, bytes.data() + n * kPlayerRecordSize, kPlayerRecordSize);
    expected.charm = static_cast<int16_t>(1000 + n);
    expected.name.Set("Zed");
    ASSERT_EQ(after.substr(n * kPlayerRecordSize, kPlayerRecordSize), RecordBytes(expected)) << n;
  }
  EXPECT_FALSE(save_pending);
  EXPECT_EQ(CurrentFileOpenMode(), fmShared);
}

TEST_F(PlayerFileTest, PlayerCountCountsWholeRecordsOfAFileThatOpens) {
  EXPECT_EQ(PlayerCount(), 0) << "missing";
  for (auto [size, count] : {std::pair<size_t, int32_t>{0, 0}, {235, 0}, {237, 1}, {2595, 10}}) {
    game.WriteFile("PLAYER.DAT", std::string(size, 'Z'));
    EXPECT_EQ(PlayerCount(), count) << size << " bytes";
  }
  EXPECT_EQ(player_path, game.PathOf("PLAYER.DAT"));
  SetFileOpenMode(fmExclusive);
  OsFile node;  // a game node holding the file
  ASSERT_TRUE(FileOpen(node, player_path, faReadWrite));
  {
    FakeClock clock(0, 10);  // the five seconds of waiting pass at once
    EXPECT_EQ(PlayerCount(), kPlayerCountUnknown) << "held exclusively elsewhere: not empty";
    EXPECT_GE(clock.Reads(), 500) << "did not wait for the node";
  }
  FileClose(node);
  EXPECT_EQ(PlayerCount(), 10);
}

// A write says what became of it and does nothing else; only a file held by a node is waited for.
TEST_F(PlayerFileTest, AWriteReportsWhatHappenedAndWaitsOnlyForABusyFile) {
  const PlayerRecord ada = MakePlayer("Ada", "A"), bo = MakePlayer("Bo", "B");
  const struct {
    const char* what;
    int32_t n;
    bool existing_only;
    WriteResult result;
  } cases[] = {
      {"a record in the file", 1, false, wrWritten},
      {"just past the end", 2, false, wrWritten},
      {"beyond that", 3, false, wrOutside},
      {"not there, existing only", 2, true, wrOutside},
      {"a negative number", -1, false, wrOutside},
      {"missing", 0, false, wrMissing},
      {"a directory", 0, false, wrNotWritable},
      {"held by a node", 0, false, wrBusy},
  };
  player_path = game.PathOf("PLAYER.DAT");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string what = c.what;
    std::filesystem::remove_all(game.PathOf("PLAYER.DAT"));
    if (what == "a directory") game.MakeDir("PLAYER.DAT");
    if (what != "missing" && what != "a directory") game.WritePlayers({ada, ada});
    const std::string before = game.ReadFile("PLAYER.DAT");
    OutputRecorder output;
    SetFileOpenMode(fmExclusive);
    OsFile node;
    if (what == "held by a node") {
      ASSERT_TRUE(FileOpen(node, player_path, faReadWrite));
    }
    {
      FakeClock clock(0, 10);
      EXPECT_EQ(WritePlayerRecord(player_path, c.n, bo, c.existing_only), c.result);
      EXPECT_EQ(clock.Reads() >= 500, c.result == wrBusy) << clock.Reads() << " readings";
    }
    FileClose(node);
    std::string expected = before;
    if (c.result == wrWritten)
      expected.replace(static_cast<size_t>(c.n) * kPlayerRecordSize, kPlayerRecordSize,
                       RecordBytes(bo));
    EXPECT_EQ(game.ReadFile("PLAYER.DAT"), expected);
    EXPECT_EQ(game.Exists("PLAYER.DAT"), what != "missing");
    EXPECT_EQ(output.Bytes(), "");
    EXPECT_FALSE(save_pending);
    EXPECT_EQ(CurrentFileOpenMode(), fmShared);
  }
}

TEST_F(PlayerFileTest, GameDayShowsTheFirstTwoCharactersOfTimeDat) {
  const std::pair<const char*, std::string> cases[] = {
      {"123\r\n", "`!12"}, {"\r\n45\r\n", "`!"}, {"9", "`!9"}};
  for (const auto& [content, shown] : cases) {
    game.WriteFile("TIME.DAT", content);
    EXPECT_EQ(GameDayText(), shown) << content;
  }
  std::filesystem::remove(game.PathOf("TIME.DAT"));
  EXPECT_EQ(GameDayText(), "`! Unknown!");
}

// The runtime's report ends the program, and nothing else is printed.
TEST_F(PlayerFileTest, UnreadableRecordsAndTimeDatEndTheProgramThroughTheIoReport) {
  StartEditorOn(game, {MakePlayer("Ada", "Ada B")});
  PlayerRecord before = current_record;
  std::filesystem::create_directory(game.PathOf("TIME.DAT"));
  OutputRecorder output;
  current_player = 1;
  EXPECT_EQ(HaltCodeOf(LoadCurrentPlayer), kRunErrorExitCode) << "record past the end";
  EXPECT_EQ(HaltCodeOf([] { LoadScratchRecord(5); }), kRunErrorExitCode);
  EXPECT_EQ(HaltCodeOf([] { GameDayText(); }), kRunErrorExitCode);
  EXPECT_EQ(output.Bytes(), "");
  EXPECT_EQ(RecordBytes(current_record), RecordBytes(before));
}

}  // namespace
