// Mail and news files compared whole, byte for byte: they are read by the game itself.
#include "editor/mail_news.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor/editor_state.h"
#include "fakes/door_harness.h"
#include "fakes/game_fixture.h"

namespace {

using Names = std::vector<std::string>;

const std::string kMailSep = "`2-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-\r\n";
const std::string kNewsSep = "                 `#-=`%-=#-=`%-=#-=`%-=#-=`%-=#-=`%-= \r\n";
const std::string kCleanSlateEnd =
    "`2\r\n"
    "  `%You were warned repeatedly to stop your bad behavior\r\n"
    "  `%and you failed to obey.  `@The Sysop.\r\n" + kMailSep + " \r\n";
const std::string kEntryLevelMail =  // to "Grim"
    "  `%Attention: `$Grim:  {Clean Slate Message #1]\r\n"
    "  `#As punishment for cheating and/or bullying others in this,\r\n"
    "  `#VARN Game, your stats have been RESET to the first-time\r\n"
    "  `#game entry settings.\r\n" + kCleanSlateEnd;
const std::string kPostDragonMail =  // to "`4Red`0Tor"
    "  `%Attention: `$`4Red`0Tor:  {Clean Slate Message #2]\r\n"
    "  `#As punishment for cheating and/or bullying others in this,\r\n"
    "  `#VARN Game, your stats have been RESET to the post-dragon\r\n"
    "  `#kill settings.  You retain some earned stats, but do not\r\n"
    "  `#receive credit for a game win.\r\n" + kCleanSlateEnd;
const std::string kNewsEnd =
    "  `0from the Sysop, as `@punishment `0for abusing the VARN game.\r\n" + kNewsSep;
const std::string kEntryLevelNews =
    "  `!Grim `0received an `9Entry-Level `@\"Clean Slate\" `0reset today\r\n" + kNewsEnd;
const std::string kPostDragonNews =
    "  `!`4Red`0Tor `0received a `9Post-Dragon `@\"Clean Slate\" `0reset today\r\n" + kNewsEnd;

// A marriage notice: a blank line, the header, one line of text, the separator, the last line.
std::string Notice(const std::string& header, const std::string& text, const char* last = " \r\n") {
  return " \r\n  `%Attention: `$" + header + "] \r\n  `#" + text + "\r\n" + kMailSep + last;
}
std::string DivorceMail(const std::string& to, const std::string& from) {
  return Notice(to + ":           [Divorce Notice",
                "Your marriage to `@" + from + " `#has been dissolved by your sysop.");
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
  const std::string far_mark = std::string("\x1a").append(200, 'z');
  const struct {
    const char* what;
    std::string before, kept;
  } cases[] = {
      {"last line without CR LF", "old\r\nno line end", "old\r\nno line end"},
      {"Ctrl-Z 128 bytes from the end", std::string("ab\x1a").append(127, 'y'), "ab"},
      {"Ctrl-Z 129 bytes from the end", std::string("ab\x1a").append(128, 'y'),
       std::string("ab\x1a").append(128, 'y')},
      {"first mark of the last block",
       std::string(far_mark).append("\x1a").append(126, 'x').append("\x1a"), far_mark},
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
  EXPECT_EQ(game.Names(), (Names{"LOGNOW.TXT", "MAIL9.DAT", "Mail8.Dat", "mail7.dat"}));
  EXPECT_EQ(game.ReadFile("mail7.dat"), "a\r\n" + kEntryLevelMail);
  EXPECT_EQ(game.ReadFile("Mail8.Dat"), "b\r\n" + DivorceMail("Grim", "Kelda"));
  EXPECT_EQ(game.ReadFile("MAIL9.DAT"), "c\r\n" + DivorceMail("Kelda", "Grim"));
}

TEST_F(MailNewsTest, DivorceNoticeIsMirroredToPlayersButNotToTheGamesCharacters) {
  const struct {
    std::string partner;
    bool mirrored;
  } cases[] = {{"Kelda", true},   {"Quenna", false},   {"Dask Able", false}, {"quenna", true},
               {"Quenna2", true}, {"Dask able", true}, {"`2Quenna", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.partner);
    TempGameDir fresh;
    game_dir = fresh.Dir();
    MailDivorceNotice(200, "`$Bo`%Dan", 4, c.partner);
    EXPECT_EQ(fresh.ReadFile("mail200.dat"), DivorceMail("`$Bo`%Dan", c.partner));
    EXPECT_EQ(fresh.Names(),
              (c.mirrored ? Names{"mail200.dat", "mail4.dat"} : Names{"mail200.dat"}));
    EXPECT_EQ(fresh.ReadFile("mail4.dat"), c.mirrored ? DivorceMail(c.partner, "`$Bo`%Dan") : "");
  }
}

TEST_F(MailNewsTest, WeddingCopiesDifferInBlanksAndLastLine) {
  MailWeddingNotice(1, "Grim", 2, "`5Kel`0da");
  MailNpcWeddingNotice(3, "Kelda", "Dask Able");
  // 11 blanks before the first copy's tag, 12 before the second's, which ends in `2 instead.
  EXPECT_EQ(game.ReadFile("mail1.dat"),
            Notice("Grim:           [Wedding Notice",
                   "Your sysop has Married you to `@`5Kel`0da `#today. Congratulations."));
  EXPECT_EQ(game.ReadFile("mail2.dat"),
            Notice("`5Kel`0da:            [Wedding Notice",
                   "Your sysop has Married you to `@Grim `#today. Congratulations.", "`2\r\n"));
  EXPECT_EQ(game.ReadFile("mail3.dat"),
            Notice("Kelda:           [NPC Wedding Notice",
                   "Your sysop has Married you to `@Dask Able `#today.  Congratulations."));
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
  MailNpcWeddingNotice(5, "Grim", "Quenna");
  NewsMarriage("Grim", "Kelda");
  // The unwritable file costs only its own message; the partner's still arrives.
  EXPECT_EQ(game.ReadFile("mail6.dat"), DivorceMail("Kelda", "Grim"));
  EXPECT_EQ(game.Names(), (Names{"LOGNOW.TXT", "mail5.dat", "mail6.dat"}));
}

}  // namespace
