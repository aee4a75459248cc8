// Mail and news files compared whole, byte for byte: they are read by the game itself.
#include "editor/mail_news.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor/editor_state.h"
#include "fakes/door_harness.h"
#include "fakes/game_fixture.h"
#include "runtime/halt.h"

namespace {

using Names = std::vector<std::string>;

std::string Repeat(const std::string& text, int times) {
  std::string all;
  for (int i = 0; i < times; ++i) all += text;
  return all;
}

const std::string kMailSep = "`2" + Repeat("-=", 24) + "-\r\n";
const std::string kNewsSep = std::string(17, ' ') + "`#-=" + Repeat("`%-=#-=", 4) + "`%-= \r\n";

const std::string kEntryLevelMail =  // to "Grim"
    "  `%Attention: `$Grim:  {Clean Slate Message #1]\r\n"
    "  `#As punishment for cheating and/or bullying others in this,\r\n"
    "  `#VARN Game, your stats have been RESET to the first-time\r\n"
    "  `#game entry settings.\r\n"
    "`2\r\n"
    "  `%You were warned repeatedly to stop your bad behavior\r\n"
    "  `%and you failed to obey.  `@The Sysop.\r\n" +
    kMailSep + " \r\n";

const std::string kPostDragonMail =  // to "`4Red`0Tor"
    "  `%Attention: `$`4Red`0Tor:  {Clean Slate Message #2]\r\n"
    "  `#As punishment for cheating and/or bullying others in this,\r\n"
    "  `#VARN Game, your stats have been RESET to the post-dragon\r\n"
    "  `#kill settings.  You retain some earned stats, but do not\r\n"
    "  `#receive credit for a game win.\r\n"
    "`2\r\n"
    "  `%You were warned repeatedly to stop your bad behavior\r\n"
    "  `%and you failed to obey.  `@The Sysop.\r\n" +
    kMailSep + " \r\n";

const std::string kEntryLevelNews =
    "  `!Grim `0received an `9Entry-Level `@\"Clean Slate\" `0reset today\r\n"
    "  `0from the Sysop, as `@punishment `0for abusing the VARN game.\r\n" +
    kNewsSep;
const std::string kPostDragonNews =
    "  `!`4Red`0Tor `0received a `9Post-Dragon `@\"Clean Slate\" `0reset today\r\n"
    "  `0from the Sysop, as `@punishment `0for abusing the VARN game.\r\n" +
    kNewsSep;

std::string DivorceMail(const std::string& to, const std::string& from) {
  return " \r\n  `%Attention: `$" + to + ":           [Divorce Notice] \r\n" +
         "  `#Your marriage to `@" + from + " `#has been dissolved by your sysop.\r\n" + kMailSep +
         " \r\n";
}

class MailNewsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EditorStateReset();
    InstallHaltCatcher();
    game_dir = game.Dir();
  }
  TempGameDir game;
};

TEST_F(MailNewsTest, CleanSlateCreatesMailAndNewsHoldingOneMessageEach) {
  WriteCleanSlateNotices(1, 0, "Grim");
  EXPECT_EQ(game.Names(), (Names{"LOGNOW.TXT", "MAIL0.DAT"}));
  EXPECT_EQ(game.ReadFile("MAIL0.DAT"), kEntryLevelMail);
  EXPECT_EQ(game.ReadFile("LOGNOW.TXT"), kEntryLevelNews);

  // Colour codes in a name travel into both files as they are.
  WriteCleanSlateNotices(2, 17, "`4Red`0Tor");
  EXPECT_EQ(game.ReadFile("MAIL17.DAT"), kPostDragonMail);
  EXPECT_EQ(game.ReadFile("LOGNOW.TXT"), kEntryLevelNews + kPostDragonNews);
}

TEST_F(MailNewsTest, AppendKeepsEarlierBytesAndEndsAtCtrlZInTheLastBlock) {
  // Built with append: g++ 12 at -O2 warns falsely about a literal + std::string here.
  const std::string mark = "\x1a";
  const std::string far_mark = std::string(mark).append(200, 'z');
  struct Case {
    const char* what;
    std::string before;
    std::string kept;
  } cases[] = {
      {"earlier message, last line without CR LF", "old\r\nno line end", "old\r\nno line end"},
      {"Ctrl-Z at the very end", "old\r\n\x1a", "old\r\n"},
      {"Ctrl-Z followed by junk", "old\x1ajunk\x1a", "old"},
      {"Ctrl-Z exactly 128 bytes from the end", std::string("ab\x1a").append(127, 'y'), "ab"},
      {"Ctrl-Z 129 bytes from the end", std::string("ab\x1a").append(128, 'y'),
       std::string("ab\x1a").append(128, 'y')},
      {"the first mark of the last block wins over an earlier one",
       std::string(far_mark).append(mark).append(126, 'x').append(mark), far_mark},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    game.WriteFile("MAIL3.DAT", c.before);
    game.WriteFile("LOGNOW.TXT", c.before);
    WriteCleanSlateNotices(1, 3, "Grim");
    EXPECT_EQ(game.ReadFile("MAIL3.DAT"), c.kept + kEntryLevelMail);
    EXPECT_EQ(game.ReadFile("LOGNOW.TXT"), c.kept + kEntryLevelNews);
  }
}

TEST_F(MailNewsTest, BothSpellingsReachAnExistingMailFileWhateverItsCase) {
  game.WriteFile("mail7.dat", "a\r\n");
  game.WriteFile("Mail8.Dat", "b\r\n");
  game.WriteFile("MAIL9.DAT", "c\r\n");
  WriteCleanSlateNotices(1, 7, "Grim");
  MailDivorceNotice(8, "Grim", 9, "Kelda");
  MailNpcWeddingNotice(9, "Kelda", "Dask Able");

  EXPECT_EQ(game.Names(), (Names{"LOGNOW.TXT", "MAIL9.DAT", "Mail8.Dat", "mail7.dat"}));
  EXPECT_EQ(game.ReadFile("mail7.dat"), "a\r\n" + kEntryLevelMail);
  EXPECT_EQ(game.ReadFile("Mail8.Dat"), "b\r\n" + DivorceMail("Grim", "Kelda"));
  EXPECT_EQ(game.ReadFile("MAIL9.DAT"),
            "c\r\n" + DivorceMail("Kelda", "Grim") +
                " \r\n  `%Attention: `$Kelda:           [NPC Wedding Notice] \r\n"
                "  `#Your sysop has Married you to `@Dask Able `#today.  Congratulations.\r\n" +
                kMailSep + " \r\n");
}

TEST_F(MailNewsTest, DivorceNoticeIsMirroredToPlayersButNotToTheGamesCharacters) {
  struct Case {
    std::string partner;
    bool mirrored;
  } cases[] = {{"Kelda", true},     {"Quenna", false}, {"Dask Able", false},
               {"quenna", true},    {"Quenna2", true}, {"Dask able", true},
               {"`2Quenna", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.partner);
    TempGameDir fresh;
    game_dir = fresh.Dir();
    MailDivorceNotice(200, "`$Bo`%Dan", 4, c.partner);
    EXPECT_EQ(fresh.ReadFile("mail200.dat"), DivorceMail("`$Bo`%Dan", c.partner));
    if (c.mirrored) {
      EXPECT_EQ(fresh.Names(), (Names{"mail200.dat", "mail4.dat"}));
      EXPECT_EQ(fresh.ReadFile("mail4.dat"), DivorceMail(c.partner, "`$Bo`%Dan"));
    } else {
      EXPECT_EQ(fresh.Names(), (Names{"mail200.dat"}));
    }
  }
}

TEST_F(MailNewsTest, WeddingCopiesDifferInBlanksAndLastLine) {
  MailWeddingNotice(1, "Grim", 2, "`5Kel`0da");
  EXPECT_EQ(game.ReadFile("mail1.dat"),
            " \r\n"
            "  `%Attention: `$Grim:           [Wedding Notice] \r\n"
            "  `#Your sysop has Married you to `@`5Kel`0da `#today. Congratulations.\r\n" +
                kMailSep + " \r\n");
  EXPECT_EQ(game.ReadFile("mail2.dat"),
            " \r\n"
            "  `%Attention: `$`5Kel`0da:            [Wedding Notice] \r\n"
            "  `#Your sysop has Married you to `@Grim `#today. Congratulations.\r\n" +
                kMailSep + "`2\r\n");
}

TEST_F(MailNewsTest, NewsEntriesAreAppendedInCallOrderAndTheFirstCreatesTheFile) {
  NewsDivorce("Grim", "`4Kelda");
  EXPECT_EQ(game.Names(), (Names{"LOGNOW.TXT"}));
  NewsMarriage("Grim", "`4Kelda");
  EXPECT_EQ(game.ReadFile("LOGNOW.TXT"),
            "  `#Grim `0was `!Divorced from `#`4Kelda `0today by the Sysop.\r\n" + kNewsSep +
                "  `$Grim `0was `$Married to `4Kelda `0today by the Sysop.\r\n" + kNewsSep);
}

TEST_F(MailNewsTest, MarriageNoticesSkipAFileThatCannotBeWritten) {
  game.MakeDir("mail5.dat");
  game.MakeDir("LOGNOW.TXT");
  MailDivorceNotice(5, "Grim", 6, "Kelda");
  MailWeddingNotice(6, "Kelda", 5, "Grim");
  MailNpcWeddingNotice(5, "Grim", "Quenna");
  NewsDivorce("Grim", "Kelda");
  NewsMarriage("Grim", "Kelda");
  // The unwritable file costs only its own message; the partner's still arrive.
  EXPECT_EQ(game.ReadFile("mail6.dat"),
            DivorceMail("Kelda", "Grim") + " \r\n" +
                "  `%Attention: `$Kelda:           [Wedding Notice] \r\n"
                "  `#Your sysop has Married you to `@Grim `#today. Congratulations.\r\n" +
                kMailSep + " \r\n");
  EXPECT_EQ(game.Names(), (Names{"LOGNOW.TXT", "mail5.dat", "mail6.dat"}));
}

TEST_F(MailNewsTest, CleanSlateNoticeThatCannotBeWrittenEndsTheProgram) {
  struct Case {
    const char* blocked;
    Names after;
  } cases[] = {
      {"MAIL4.DAT", {"MAIL4.DAT"}},                // nothing else is written after the failure
      {"LOGNOW.TXT", {"LOGNOW.TXT", "MAIL4.DAT"}}, // the mail went out first
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.blocked);
    TempGameDir fresh;
    game_dir = fresh.Dir();
    fresh.MakeDir(c.blocked);
    try {
      WriteCleanSlateNotices(2, 4, "Grim");
      ADD_FAILURE() << "the program went on";
    } catch (const HaltSignal& halt) {
      EXPECT_EQ(halt.code, kRunErrorExitCode);
    }
    EXPECT_EQ(fresh.Names(), c.after);
  }
}

}  // namespace
