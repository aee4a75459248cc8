// Editor test harness: a temporary game directory, a PlayerRecord builder with random reserved
// bytes, and the editor started on it with a headless screen and scripted keys.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "editor/player_record.h"
#include "runtime/files.h"

// A fresh directory under the system's temp directory, removed with its content at destruction.
class TempGameDir {
 public:
  TempGameDir();
  ~TempGameDir();
  TempGameDir(const TempGameDir&) = delete;
  TempGameDir& operator=(const TempGameDir&) = delete;

  // The directory with its trailing separator, as game_dir holds it.
  const std::string& Dir() const { return dir_; }
  std::string PathOf(const std::string& name) const { return dir_ + name; }

  void WriteFile(const std::string& name, const std::string& bytes) const;
  std::string ReadFile(const std::string& name) const;  // empty when missing or no file
  bool Exists(const std::string& name) const;
  // The names in the directory, as spelled on disk, sorted.
  std::vector<std::string> Names() const;
  // A directory of that name inside the game directory (a file path that no open can write).
  void MakeDir(const std::string& name) const;

  void WritePlayers(const std::vector<PlayerRecord>& players) const;  // PLAYER.DAT
  PlayerRecord ReadPlayer(int n) const;

 private:
  std::string dir_;
};

// A plausible living player; every reserved byte is random (from seed) so that a test can see any
// change to them. married_to is -1.
PlayerRecord MakePlayer(const std::string& name, const std::string& real_name, uint32_t seed = 1);
// PLAYER.DAT holding these players.
std::string PlayersBytes(const std::vector<PlayerRecord>& players);

// A node's exclusive open of path (none when hold is false), which keeps every other open out.
OsFile HoldExclusively(const std::string& path, bool hold = true);

// Runs the whole editor in-process (EditorMain: no console presenter) with the given arguments
// after the program name, on a reset editor state. Reset everything (ResetEverything) and
// type the keys before. Returns the exit code Halt was given.
int RunEditorMain(const std::vector<std::string>& args = {});

// Writes PLAYER.DAT of these players, resets the door library and the editor, turns
// BacktickTranslation on and points the editor at the directory (game_dir), then loads player n as
// the current player.
void StartEditorOn(const TempGameDir& game, const std::vector<PlayerRecord>& players,
                   uint8_t player = 0);

// The main screen's married-to text, without the blanks after it.
std::string MarriedToShown();

// Whether text shows each phrase, in this order.
testing::AssertionResult ShownInOrder(const std::string& text,
                                      const std::vector<std::string>& phrases);
