// The journal and undo on every platform (the Windows build runs this under Wine): an operation's
// record and marriage file and its notice go out, are journaled with their exact bytes, and undo
// puts the files back byte for byte, newest operation first.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "commands/commands.h"
#include "editor/editor_state.h"
#include "editor/journal.h"
#include "editor/mail_news.h"
#include "editor/npc_marriage.h"
#include "editor/operation.h"
#include "editor/player_file.h"
#include "fakes/game_fixture.h"

namespace {

// The working directory for one test, given back however the test ends.
struct WorkingDirectory {
  explicit WorkingDirectory(const std::string& dir) { std::filesystem::current_path(dir); }
  ~WorkingDirectory() { std::filesystem::current_path(previous); }
  std::filesystem::path previous = std::filesystem::current_path();
};

TEST(JournalTest, OperationsAreJournaledWithTheirBytesAndUndoneNewestFirst) {
  TempGameDir work, game;  // work: the working directory, where ZORVAN32.CFG and the journal live
  WorkingDirectory here(work.Dir());
  work.WriteFile("ZORVAN32.CFG", game.Dir() + "\r\n");
  StartEditorOn(game, {MakePlayer("Arno", "A", 1), MakePlayer("Bela", "B", 2)}, 0);
  journal_path = JournalPath();
  const std::string players = game.ReadFile("PLAYER.DAT");

  current_record.gold = 4242;
  ASSERT_TRUE(SaveCurrentPlayer());
  GameOperation wedding(okMarriage);
  ASSERT_TRUE(wedding.WriteCharacterFile(npcQuenna, 1));  // made anew, linked into place whole
  NewsMarriage(wedding, "Bela", "Quenna");
  ASSERT_EQ(wedding.Commit(), frDone);
  EXPECT_EQ(game.ReadFile("MARRAGE.DAT"), "1\r\n");

  std::vector<std::string> seen;  // newest first
  ASSERT_TRUE(VisitJournal(journal_path, [&](const JournalLine& l) {
    seen.insert(seen.begin(), std::to_string(l.op) + " " + l.operation + " " + l.player + " " +
                                  l.field + " " +
                                  (l.field == "record" ? "" : l.old_value + " " + l.new_value));
    return true;
  }));
  const std::vector<std::string> expected = {
      "1 field-edit 0 gold " + std::to_string(MakePlayer("Arno", "A", 1).gold) + " 4242",
      "1 field-edit 0 record ",
      "2 marriage - MARRAGE.DAT none 1",
      "2 marriage - MARRAGE.DAT-bytes none 310D0A",
      "2 marriage - notice LOGNOW.TXT   `$Bela `0was `$Married to Quenna `0today by the Sysop."};
  EXPECT_EQ(seen, expected);

  EXPECT_EQ(RunUndo({}), 0);
  EXPECT_FALSE(game.Exists("MARRAGE.DAT"));
  EXPECT_EQ(RunUndo({}), 0);
  EXPECT_EQ(game.ReadFile("PLAYER.DAT"), players);
  EXPECT_EQ(RunUndo({}), 1);  // nothing left
  EXPECT_EQ(RunUndo({"4"}), 0);  // undoing the last undo redoes the gold
  EXPECT_NE(game.ReadFile("PLAYER.DAT"), players);
  // An older version numbered afresh after a damaged tail: the operations before it are out of
  // undo's reach, since their numbers come again.
  const std::string log = work.ReadFile("ZORVAN32.LOG");
  work.WriteFile("ZORVAN32.LOG", log + log.substr(0, log.find('\n', log.find('\n') + 1) + 1));
  EXPECT_EQ(RunUndo({"3"}), 1);
}

// Read from its end in pieces: a line across two pieces comes whole; a line longer than any
// journal's and a torn tail are passed over, and the numbering goes on past them.
TEST(JournalTest, ReadBackwardsInPiecesPastADamagedTail) {
  TempGameDir work;
  EditorStateReset();
  journal_path = work.Dir() + "/ZORVAN32.LOG";
  std::string bytes;
  for (int op = 1; op <= 40; ++op)
    bytes += "t\tlocal\tsysop\t" + std::to_string(op) + "\tset\t0\tA\tgold\t1\t" +
             std::string(op * 97, '7') + "\n";
  work.WriteFile("ZORVAN32.LOG", bytes + std::string(kJournalLineMax + 1, 'x') + "\n" +
                                     std::string(3000, '\t'));
  ASSERT_TRUE(JournalAppend("set", {{0, "A", "gold", "1", "2"}}));
  std::vector<std::string> seen, expected = {"41 1"};
  for (int op = 40; op >= 1; --op)
    expected.push_back(std::to_string(op) + " " + std::to_string(op * 97));
  ASSERT_TRUE(VisitJournal(journal_path, [&](const JournalLine& l) {
    seen.push_back(std::to_string(l.op) + " " + std::to_string(l.new_value.size()));
    return true;
  }));
  EXPECT_EQ(seen, expected);
}

}  // namespace
