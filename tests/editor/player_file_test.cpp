#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <random>

#include "editor/editor_state.h"
#include "editor/player_file.h"
#include "fakes/door_harness.h"
#include "fakes/game_fixture.h"
#include "runtime/files.h"
#include "runtime/halt.h"

namespace {

// Little-endian bytes of the record at an offset.
std::string BytesAt(const PlayerRecord& r, size_t offset, size_t n) {
  return RecordBytes(r).substr(offset, n);
}

struct LayoutCase {
  const char* field;
  std::function<void(PlayerRecord&)> set;
  size_t offset;
  std::string bytes;
};

TEST(PlayerRecordLayout, FieldsLandAtTheGamesOffsetsLittleEndian) {
  const LayoutCase cases[] = {
      {"name", [](PlayerRecord& r) { r.name.Set("Ab"); }, 0, std::string("\x02" "Ab", 3)},
      {"real_name", [](PlayerRecord& r) { r.real_name.Set("Q"); }, 21, "\x01Q"},
      {"hit_points", [](PlayerRecord& r) { r.hit_points = 0x1234; }, 72, "\x34\x12"},
      {"gold", [](PlayerRecord& r) { r.gold = 0x11223344; }, 109, "\x44\x33\x22\x11"},
      {"time_on", [](PlayerRecord& r) { r.time_on = 0xFFFE; }, 129, "\xFE\xFF"},
      {"experience", [](PlayerRecord& r) { r.experience = -2; }, 158, "\xFE\xFF\xFF\xFF"},
      {"sex", [](PlayerRecord& r) { r.sex = 5; }, 162, "\x05"},
      {"skill_class", [](PlayerRecord& r) { r.skill_class = 3; }, 179, "\x03"},
      {"married_to", [](PlayerRecord& r) { r.married_to = -1; }, 221, "\xFF\xFF"},
      {"flirted", [](PlayerRecord& r) { r.flirted = 5; }, 232, "\x05"},
  };
  for (const auto& c : cases) {
    PlayerRecord r{};
    c.set(r);
    EXPECT_EQ(BytesAt(r, c.offset, c.bytes.size()), c.bytes) << c.field;
  }
}

class PlayerFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetDoorLibrary();
    EditorStateReset();
  }
  void Start(const std::vector<PlayerRecord>& players, uint8_t player = 0) {
    game.WritePlayers(players);
    StartEditorOn(game, player);
  }
  TempGameDir game;
};

// Records made of nothing but random bytes: every field and every reserved byte arbitrary.
std::vector<PlayerRecord> RandomRecords(size_t count, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<PlayerRecord> records(count);
  for (auto& r : records) {
    auto* bytes = reinterpret_cast<uint8_t*>(&r);
    for (size_t i = 0; i < kPlayerRecordSize; ++i) bytes[i] = static_cast<uint8_t>(random());
  }
  return records;
}

TEST_F(PlayerFileTest, ReadModifyWriteChangesOnlyTheFieldTouched) {
  auto original = RandomRecords(200, 7);
  Start(original);
  std::string before = game.ReadFile("PLAYER.DAT");
  for (int n = 0; n < 200; ++n) {
    current_player = static_cast<uint8_t>(n);
    LoadCurrentPlayer();
    current_record.charm = static_cast<int16_t>(1000 + n);
    current_record.name.Set("Zed");  // shorter text: the bytes after it keep their values
    SaveCurrentPlayer();
  }
  std::string after = game.ReadFile("PLAYER.DAT");
  ASSERT_EQ(after.size(), before.size());
  for (int n = 0; n < 200; ++n) {
    PlayerRecord expected = original[static_cast<size_t>(n)];
    expected.charm = static_cast<int16_t>(1000 + n);
    expected.name.Set("Zed");
    ASSERT_EQ(after.substr(static_cast<size_t>(n) * kPlayerRecordSize, kPlayerRecordSize),
              RecordBytes(expected))
        << "record " << n;
  }
  EXPECT_FALSE(save_pending);
}

TEST_F(PlayerFileTest, SaveWritesOnlyItsOwnRecordAndReturnsTrue) {
  auto players = RandomRecords(3, 11);
  Start(players);
  PlayerRecord changed = players[1];
  changed.gems = 77;
  EXPECT_TRUE(SavePlayerRecord(player_path, 1, changed));
  EXPECT_EQ(RecordBytes(game.ReadPlayer(0)), RecordBytes(players[0]));
  EXPECT_EQ(RecordBytes(game.ReadPlayer(1)), RecordBytes(changed));
  EXPECT_EQ(RecordBytes(game.ReadPlayer(2)), RecordBytes(players[2]));
  EXPECT_EQ(CurrentFileOpenMode(), fmShared);
}

TEST_F(PlayerFileTest, PlayerCountCountsWholeRecordsOnly) {
  struct Case {
    size_t bytes;
    int32_t count;
  };
  const Case cases[] = {{0, 0}, {235, 0}, {236, 1}, {237, 1}, {472, 2}, {10 * 236 + 235, 10}};
  game_dir = game.Dir();
  for (const auto& c : cases) {
    game.WriteFile("PLAYER.DAT", std::string(c.bytes, '\x5a'));
    EXPECT_EQ(PlayerCount(), c.count) << c.bytes << " bytes";
  }
  EXPECT_EQ(player_path, game.PathOf("PLAYER.DAT"));
}

TEST_F(PlayerFileTest, PlayerCountIsZeroWhenTheFileIsMissingOrWillNotOpen) {
  game_dir = game.Dir();
  EXPECT_EQ(PlayerCount(), 0) << "missing";

  std::filesystem::create_directory(game.PathOf("PLAYER.DAT"));
  EXPECT_EQ(PlayerCount(), 0) << "a directory of that name";
  std::filesystem::remove(game.PathOf("PLAYER.DAT"));

  game.WritePlayers({MakePlayer("Ada", "Ada B"), MakePlayer("Bo", "Bo C")});
  SetFileOpenMode(fmExclusive);
  OsFile node;  // a game node holding the file
  ASSERT_TRUE(FileOpen(node, game.PathOf("PLAYER.DAT"), faReadWrite));
  EXPECT_EQ(PlayerCount(), 0) << "held exclusively elsewhere";
  FileClose(node);
  EXPECT_EQ(PlayerCount(), 2);
}

TEST_F(PlayerFileTest, GameDayShowsTheFirstTwoCharactersOfTimeDat) {
  struct Case {
    const char* file;
    std::string content;
    std::string shown;
  };
  const Case cases[] = {
      {"TIME.DAT", "123\r\n", "`!12"},
      {"TIME.DAT", "7\r\n", "`!7"},
      {"TIME.DAT", "\r\n45\r\n", "`!"},
      {"TIME.DAT", "", "`!"},
      {"TIME.DAT", "9", "`!9"},
      {"time.dat", "31\r\n", "`!31"},  // the game's own spelling may be lower case
  };
  game_dir = game.Dir();
  for (const auto& c : cases) {
    game.WriteFile(c.file, c.content);
    EXPECT_EQ(GameDayText(), c.shown) << c.content;
    std::filesystem::remove(game.PathOf(c.file));
  }
  EXPECT_EQ(GameDayText(), "`! Unknown!");
}

TEST_F(PlayerFileTest, LastOnShowsTheUnsignedDay) {
  PlayerRecord p = MakePlayer("Ada", "Ada B");
  p.time_on = 65535;
  Start({p});
  EXPECT_EQ(LastOnText(), "`!65535");
}

TEST_F(PlayerFileTest, ScratchRecordLoadsRecordNAndIgnoresMinusOne) {
  Start({MakePlayer("Ada", "Ada B", 1), MakePlayer("Bo", "Bo C", 2), MakePlayer("Cy", "Cy D", 3)});
  LoadScratchRecord(2);
  EXPECT_EQ(RecordBytes(scratch_record), RecordBytes(game.ReadPlayer(2)));
  std::filesystem::remove(game.PathOf("PLAYER.DAT"));  // -1 must not even open the file
  LoadScratchRecord(-1);
  EXPECT_EQ(scratch_record.name.Get(), "Cy");
}

// The fatal file errors: the runtime's report ends the program, and nothing else is printed.
TEST_F(PlayerFileTest, UnreadableRecordsEndTheProgramThroughTheIoReport) {
  Start({MakePlayer("Ada", "Ada B")});
  PlayerRecord before = current_record;
  struct Case {
    const char* what;
    std::function<void()> act;
  };
  const Case cases[] = {
      {"record past the end", [] { current_player = 1; LoadCurrentPlayer(); }},
      {"scratch past the end", [] { LoadScratchRecord(5); }},
      {"missing file", [this] {
         std::filesystem::rename(game.PathOf("PLAYER.DAT"), game.PathOf("OTHER.DAT"));
         current_player = 0;
         LoadCurrentPlayer();
       }},
  };
  for (const auto& c : cases) {
    OutputRecorder output;
    int code = -1;
    try {
      c.act();
    } catch (const HaltSignal& halt) {
      code = halt.code;
    }
    EXPECT_EQ(code, kRunErrorExitCode) << c.what;
    EXPECT_EQ(output.Bytes(), "") << c.what;
    EXPECT_EQ(RecordBytes(current_record), RecordBytes(before)) << c.what;
  }
}

TEST_F(PlayerFileTest, UnreadableTimeDatEndsTheProgramThroughTheIoReport) {
  game_dir = game.Dir();
  std::filesystem::create_directory(game.PathOf("TIME.DAT"));
  int code = -1;
  try {
    GameDayText();
  } catch (const HaltSignal& halt) {
    code = halt.code;
  }
  EXPECT_EQ(code, kRunErrorExitCode);
}

}  // namespace
