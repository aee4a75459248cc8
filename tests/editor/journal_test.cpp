// The journal read back and undo by number on every platform (the Windows build runs this under
// Wine); the operations' journaled bytes and undo's checks are the black-box journal test's.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "commands/commands.h"
#include "editor/editor_state.h"
#include "editor/journal.h"
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

// Two saves journaled as two operations, the second undone by its number; an older version
// numbered afresh after a damaged tail puts the operations before it out of undo's reach, since
// their numbers come again.
TEST(JournalTest, UndoByNumberStopsAtAnOlderSeries) {
  TempGameDir work, game;  // work: the working directory, where ZORVAN32.CFG and the journal live
  WorkingDirectory here(work.Dir());
  work.WriteFile("ZORVAN32.CFG", game.Dir() + "\r\n");
  StartEditorOn(game, {MakePlayer("Arno", "A", 1)}, 0);
  editor_state.journal_path = JournalPath();
  editor_state.current_record.gold = 4242;
  ASSERT_TRUE(SaveCurrentPlayer());
  const std::string log = work.ReadFile("ZORVAN32.LOG");
  editor_state.current_record.gold = 5151;
  ASSERT_TRUE(SaveCurrentPlayer());
  EXPECT_EQ(RunUndo({"2"}, false), 0);
  EXPECT_EQ(+game.ReadPlayer(0).gold, 4242);  // a copy: the field is unaligned
  work.WriteFile("ZORVAN32.LOG", work.ReadFile("ZORVAN32.LOG") + log);
  EXPECT_EQ(RunUndo({"3"}, false), 1);
  EXPECT_EQ(+game.ReadPlayer(0).gold, 4242);  // a copy: the field is unaligned
}

// Read from its end in pieces: a line across two pieces comes whole; a line longer than any
// journal's and a torn tail are passed over, and the numbering goes on past them.
TEST(JournalTest, ReadBackwardsInPiecesPastADamagedTail) {
  TempGameDir work;
  EditorStateReset();
  editor_state.journal_path = work.Dir() + "/ZORVAN32.LOG";
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
  ASSERT_TRUE(VisitJournal(editor_state.journal_path, [&](const JournalLine& l) {
    seen.push_back(std::to_string(l.op) + " " + std::to_string(l.new_value.size()));
    return true;
  }));
  EXPECT_EQ(seen, expected);
}

}  // namespace
