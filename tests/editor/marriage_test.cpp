// The marriage editor through keys, each scenario checked in every file it may touch and on the
// screen; then the work records, and the mail and news files compared whole (the game reads them).
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "door/output.h"
#include "editor/editor_state.h"
#include "editor/mail_news.h"
#include "editor/main_screen.h"
#include "editor/npc_marriage.h"
#include "editor/operation.h"
#include "editor/player_file.h"
#include "fakes/door_harness.h"
#include "fakes/fake_clock.h"
#include "fakes/game_fixture.h"
#include "fakes/screen_text.h"
#include "runtime/files.h"

namespace {

struct Who {
  uint8_t sex;  // 0 male, 5 female
  int16_t married_to, charm;
};
struct Scenario {
  const char* title;
  std::vector<Who> players;
  uint8_t current = 0;
  const char *quenna = nullptr, *dask = nullptr;  // MARRAGE.DAT, MARBARD.DAT before (null: none)
  std::string keys = "";
  std::vector<Who> after = {};  // from the first player on; empty: PLAYER.DAT unchanged
  const char *quenna_after = nullptr, *dask_after = nullptr;
  std::string notices = "";             // as Notices() gives them
  std::vector<std::string> lines = {};  // shown in this order, without colour codes
  std::string married;                  // the main screen's married-to text afterwards
  bool debug = true;
  const char* absent = nullptr;  // a text that must not be shown
  // A node changing a file while the editor runs: when `when` is shown, `file` gets `content`
  // (none: it becomes a directory, which no open can read).
  const char *when = nullptr, *file = nullptr, *content = nullptr;
};

const char* const kNames[] = {"Arno", "Bela", "Cato", "Dara", "Emil"};

// The node of a scenario, fired from the output tap once its text has been shown.
std::string shown;
const Scenario* node = nullptr;
const TempGameDir* node_game = nullptr;
void Tap(std::string_view bytes) {
  shown.append(bytes);
  if (node == nullptr || StripAnsi(shown).find(node->when) == std::string::npos) return;
  std::filesystem::remove(node_game->PathOf(node->file));
  if (node->content == nullptr) node_game->MakeDir(node->file);
  if (node->content != nullptr) node_game->WriteFile(node->file, node->content);
  node = nullptr;
}

void Set(PlayerRecord& record, const Who& who) {
  record.sex = who.sex, record.married_to = who.married_to, record.charm = who.charm;
}

// The mail and news file by file, each notice as its names joined by + (married) or - (divorced):
// "LOGNOW.TXT Arno-Bela mail0.dat -Bela". Their exact texts are MailNewsTest's.
std::string Notices(const TempGameDir& dir) {
  static const std::regex notice("  (?:(.+) was |Your (?:sysop has )?)(Married|Divorced|marriage)"
                                 " (?:you )?(?:to|from) (.+?) (?:today|has)");
  std::string all;
  for (const std::string& name : dir.Names()) {
    if (name == "PLAYER.DAT" || name == "MARRAGE.DAT" || name == "MARBARD.DAT") continue;
    all.append(all.empty() ? "" : " ").append(name);
    const std::string text = std::regex_replace(dir.ReadFile(name), std::regex("`."), "");
    for (std::sregex_iterator m(text.begin(), text.end(), notice), end; m != end; ++m)
      all.append(" ").append((*m)[1]).append((*m)[2] == "Married" ? "+" : "-").append((*m)[3]);
  }
  return all;
}

void RunScenario(const Scenario& s) {
  SCOPED_TRACE(s.title);
  TempGameDir game;
  std::vector<PlayerRecord> players;
  for (const Who& who : s.players) {
    players.push_back(MakePlayer(kNames[players.size()], "REAL", 40 + players.size()));
    Set(players.back(), who);
  }
  StartEditorOn(game, players, s.current);
  editor_state.debug_mode = s.debug;
  if (s.quenna != nullptr) game.WriteFile("MARRAGE.DAT", s.quenna);
  if (s.dask != nullptr) game.WriteFile("MARBARD.DAT", s.dask);
  shown.clear();
  node = s.when != nullptr ? &s : nullptr, node_game = &game;
  DoorSetOutputTap(&Tap);
  TypeKeys(s.keys + "Q");
  MainLoop();
  DoorSetOutputTap(nullptr);
  for (size_t i = 0; i < s.after.size(); ++i) Set(players[i], s.after[i]);
  EXPECT_EQ(game.ReadFile("PLAYER.DAT"), PlayersBytes(players));
  for (auto [name, after] : {std::pair{"MARRAGE.DAT", s.quenna_after},
                             {"MARBARD.DAT", s.dask_after}})
    EXPECT_EQ(game.Exists(name) ? game.ReadFile(name) : "none", after ? after : "none") << name;
  EXPECT_EQ(Notices(game), s.notices);
  const std::string text = StripAnsi(shown);
  EXPECT_TRUE(ShownInOrder(text, s.lines));
  EXPECT_EQ(s.absent ? text.find(s.absent) : std::string::npos, std::string::npos) << s.absent;
  EXPECT_EQ(MarriedToShown(), s.married);
}

const Who M{0, -1, 12}, F{5, -1, 12};

// A row for each step of the case table and each way the request is sorted: cases 2 and 5 each do
// half of what case 6 does, 9 and 13 what 23, 3 and 6 do.
TEST(MarriageEditor, CarriesOutOrRefusesEachRequestThroughKeys) {
  const Scenario scenarios[] = {
      {.title = "case 1, the requested spouse married to Quenna meanwhile", .players = {M, M},
       .keys = "Z1\rY", .quenna_after = "1\r\n",
       .lines = {"  Marriage Warning: Requested spouse is married to Quenna or Dask. Request "
                 "Denied!"},
       .married = "-1 Nobody!", .when = "Same-Sex Marriage?", .file = "MARRAGE.DAT",
       .content = "1\r\n"},
      {.title = "case 6, charm halved toward zero",
       .players = {{0, 1, 101}, {5, 0, 1}, {0, 3, -7}, {5, 2, 7}}, .keys = "Z3\rYY",
       .after = {{0, 3, 50}, {5, -1, 0}, {0, -1, -3}, {5, 0, 3}},
       .notices = "LOGNOW.TXT Dara-Cato Arno-Bela Arno+Dara mail0.dat -Bela +Dara mail1.dat -Arno "
                  "mail2.dat -Dara mail3.dat -Cato +Arno",
       .lines = {"  ZORVAN/32 Info:  WTF Marriage Code is 6"}, .married = "3 Dara"},
      {.title = "case 15, No to the divorce: nothing changes",
       .players = {{0, 1, 12}, {5, 0, 12}, M}, .quenna = "2\r\n", .keys = "Z-2\rYYN",
       .quenna_after = "2\r\n",
       .lines = {"    Quenna will be divorced from player #2 Cato! ",
                 "  Divorce Update Info:  Changes aborted"},
       .married = "1 Bela"},
      // A node writes MARRAGE.DAT again after the divorce: the cleanup removes it, silently.
      {.title = "case 17", .players = {M, F}, .quenna = "0\r\n", .dask = "1\r\n", .keys = "Z1\rYY",
       .after = {{0, 1, 6}, {5, 0, 6}},
       .notices = "LOGNOW.TXT Arno-Quenna Bela-Dask Able Arno+Bela mail0.dat -Quenna +Bela "
                  "mail1.dat -Dask Able +Arno",
       .lines = {"  NPC Divorce Status:  Bela has been Divorced from Dask Able!"},
       .married = "1 Bela", .debug = false, .absent = "Cleanup",
       .when = "Status:  Arno has been Divorced from Quenna!",
       .file = "MARRAGE.DAT", .content = "0\r\n"},
      {.title = "case 23, Quenna's file read past a blank to its mark", .players = {M, F, M},
       .quenna = " 2\x1a" "9", .keys = "Z-2\rYY",
       .after = {M, F, {0, -1, 6}}, .quenna_after = "0\r\n",
       .notices = "LOGNOW.TXT Cato-Quenna Arno+Quenna mail0.dat +Quenna mail2.dat -Quenna",
       .lines = {"  NPC Divorce Info:  Cato has been Divorced from Quenna!"}, .married = "Quenna!"},
      {.title = "case 24", .players = {M, F, M, F}, .current = 1, .dask = "3\r\n",
       .keys = "Z-2\rYY", .after = {M, F, M, {5, -1, 6}}, .dask_after = "1\r\n",
       .notices = "LOGNOW.TXT Dara-Dask Able Bela+Dask Able mail1.dat +Dask Able "
                  "mail3.dat -Dask Able",
       .lines = {"  Marriage Info: Bela is now Married to Dask Able!"}, .married = "Dask Able!"},
      // The record written before the file could not go is put back.
      {.title = "case 3, MARRAGE.DAT not erasable", .players = {M, F}, .quenna = "0\r\n",
       .keys = "Z-1\rYY", .quenna_after = "",
       .lines = {"  NPC Divorce Failure:  Failed to erase NPC file!"}, .married = "Unknown!",
       .when = "Proceed with divorce of Quenna?", .file = "MARRAGE.DAT"},
      // A file no open can read might name anyone: Arno may be Quenna's husband.
      {.title = "MARRAGE.DAT unreadable", .players = {M, F}, .keys = "Z-2\r", .quenna_after = "",
       .lines = {"  MARRAGE.DAT cannot be read!  Quenna's marriage is unknown, so nothing was "
                 "changed."},
       .married = "Unknown!", .when = "", .file = "MARRAGE.DAT"},
      // Refused, cancelled, then -1 divorces; Dask married to Bela is nothing to Arno's screen.
      {.title = "self-marriage; same sex, cancelled; -1", .players = {{0, 3, 9}, F, M, {5, 0, -9}},
       .dask = "1\r\n", .keys = "Z0\rZ2\rNZ-1\rY", .after = {{0, -1, 4}, F, M, {5, -1, -4}},
       .dask_after = "1\r\n", .notices = "LOGNOW.TXT Arno-Dara mail0.dat -Dara mail3.dat -Arno",
       .lines = {"  Idiot Alert Info:  Player can't marry themselves!",
                 "  Marriage Info:  Same-Sex Marriage request Cancelled by user.",
                 "  Divorce Status Info:  Orvin has left the building!  Divorce Finalized!"},
       .married = "-1 Nobody!"},
      {.title = "-2 from Quenna's husband", .players = {M, F}, .quenna = "0\r\n", .keys = "Z-2\r",
       .quenna_after = "0\r\n",
       .lines = {"  Advisory:  This situation is NOT handled by ZORVAN/32."},
       .married = "Quenna!"},
      {.title = "-7 is 160, cut to the last player", .players = {M, F, F, F, F}, .keys = "Z-7\r",
       .after = {{0, 4, 12}, F, F, F, {5, 0, 12}},
       .notices = "LOGNOW.TXT Arno+Emil mail0.dat +Emil mail4.dat +Arno", .married = "4 Emil"},
      {.title = "double marriage repaired on opening; Esc asks for nobody",
       .players = {{0, 1, 12}, {5, 0, 12}}, .quenna = "0\r\n", .keys = "Z\x1b",
       .lines = {"  ZORVAN/32 Advisory: Invalid marriage to Quenna was deleted.",
                 "  Marriage Update Info:  No changes selected at this time"},
       .married = "1 Bela"},
      // Both files name player 2: only on player 2 the operator picks which marriage goes, on the
      // main screen (259 is 3, both).
      {.title = "both, 1", .players = {M, M, M}, .current = 2, .quenna = "2\r\n", .dask = "2\r\n",
       .keys = "1\r", .quenna_after = "2\r\n", .lines = {"Houston"}, .married = "Quenna!"},
      {.title = "both, 2", .players = {M, M, M}, .current = 2, .quenna = "2\r\n", .dask = "2\r\n",
       .keys = "2\r", .dask_after = "2\r\n", .lines = {"Houston"}, .married = "Dask Able!"},
      {.title = "both, 259", .players = {M, M, M}, .current = 2, .quenna = "2\r\n", .dask = "2\r\n",
       .keys = "259\r", .lines = {"Houston"}, .married = "-1 Nobody!"},
      {.title = "both, on player 0", .players = {M, M, M}, .quenna = "2\r\n", .dask = "2\r\n",
       .quenna_after = "2\r\n", .dask_after = "2\r\n", .married = "-1 Nobody!",
       .absent = "Houston"},
  };
  for (const Scenario& s : scenarios) RunScenario(s);
}

// A work record whose read fails (a node holding the file past the wait) keeps its buffer, whose
// name is then never shown for that number. (Past the end: the black-box company test's.)
TEST(NpcMarriageTest, WorkRecordsNameOnlyThePlayerTheyWereReadFrom) {
  TempGameDir game;
  StartEditorOn(game, {MakePlayer("P0", "R0"), MakePlayer("P1", "R1")});
  EXPECT_TRUE(LoadWorkRecord(0, 7));
  {
    OsFile node = HoldExclusively(GamePath("PLAYER.DAT"));
    FakeClock clock(0, 10);
    EXPECT_FALSE(LoadWorkRecord(1, 7));
  }
  EXPECT_EQ(SpouseNameText(1, 7), "1");
}

using Names = std::vector<std::string>;

const std::string kMailSep = "`2-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-\r\n";
const std::string kNewsSep = "                 `#-=`%-=#-=`%-=#-=`%-=#-=`%-=#-=`%-= \r\n";
const std::string kEntryLevelMail =  // to "Grim"
    "  `%Attention: `$Grim:  {Clean Slate Message #1]\r\n"
    "  `#As punishment for cheating and/or bullying others in this,\r\n"
    "  `#VARN Game, your stats have been RESET to the first-time\r\n"
    "  `#game entry settings.\r\n`2\r\n"
    "  `%You were warned repeatedly to stop your bad behavior\r\n"
    "  `%and you failed to obey.  `@The Sysop.\r\n" + kMailSep + " \r\n";
const std::string kNewsEnd =
    "  `0from the Sysop, as `@punishment `0for abusing the VARN game.\r\n" + kNewsSep;
// A marriage notice: a blank line, the header, one line of text, the separator, the last line.
std::string Notice(const std::string& header, const std::string& text, const char* last = " \r\n") {
  return " \r\n  `%Attention: `$" + header + "] \r\n  `#" + text + "\r\n" + kMailSep + last;
}
// Every kind of notice in one operation into an empty directory: each creates its file, the news
// entries follow in call order, and colour codes in a name travel as they are.
TEST(MailNewsTest, EachNoticeWritesTheGamesBytes) {
  TempGameDir game;
  editor_state.game_dir = game.Dir();
  GameOperation op(OperationKind::kMarriage);
  WriteCleanSlateNotices(op, 1, 0, "Grim");
  WriteCleanSlateNotices(op, 2, 17, "`4Red`0Tor");
  MailWeddingNotice(op, 1, "Grim", 2, "`5Kel`0da");
  MailNpcWeddingNotice(op, 3, "Kelda", "Dask Able");
  NewsDivorce(op, "Grim", "`4Kelda");
  NewsMarriage(op, "Grim", "`4Kelda");
  // A divorce notice's partner gets a copy unless it is one of the characters, named exactly.
  MailDivorceNotice(op, 4, "`$Bo`%Dan", 5, "Kelda");
  MailDivorceNotice(op, 8, "Grim", 9, "quenna");
  EXPECT_EQ(op.Commit(), frDone);
  EXPECT_EQ(game.ReadFile("MAIL0.DAT"), kEntryLevelMail);
  EXPECT_EQ(game.Names(), (Names{"LOGNOW.TXT", "MAIL0.DAT", "MAIL17.DAT", "mail1.dat", "mail2.dat",
                                 "mail3.dat", "mail4.dat", "mail5.dat", "mail8.dat", "mail9.dat"}));
  EXPECT_EQ(game.ReadFile("mail4.dat"),
            Notice("`$Bo`%Dan:           [Divorce Notice",
                   "Your marriage to `@Kelda `#has been dissolved by your sysop."));
  EXPECT_EQ(game.ReadFile("LOGNOW.TXT"),
            "  `!Grim `0received an `9Entry-Level `@\"Clean Slate\" `0reset today\r\n" + kNewsEnd +
                "  `!`4Red`0Tor `0received a `9Post-Dragon `@\"Clean Slate\" `0reset today\r\n" +
                kNewsEnd + "  `#Grim `0was `!Divorced from `#`4Kelda `0today by the Sysop.\r\n" +
                kNewsSep + "  `$Grim `0was `$Married to `4Kelda `0today by the Sysop.\r\n" +
                kNewsSep);
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

// An existing mail file is found whatever the case of its name (written here in lower case, the
// divorce notice's own spelling, for a notice that spells it in upper case). A notice that cannot
// be written (the news, a folder) takes back the mail already sent, to its last byte.
TEST(MailNewsTest, AppendKeepsEarlierBytesAndEndsAtCtrlZInTheLastBlock) {
  const struct {
    const char* what;
    std::string before, after;
  } cases[] = {
      {"Ctrl-Z 128 bytes from the end", std::string("ab\x1a").append(127, 'y'),
       "ab" + kEntryLevelMail},
      {"Ctrl-Z 129 bytes from the end", std::string("ab\x1a").append(128, 'y'),
       std::string("ab\x1a").append(128, 'y') + kEntryLevelMail},
      {"news unwritable", "old\x1atail", "old\x1atail"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempGameDir game;
    editor_state.game_dir = game.Dir();
    game.WriteFile("mail3.dat", c.before);
    const bool fails = c.after == c.before;
    if (fails) game.MakeDir("LOGNOW.TXT");
    GameOperation op(OperationKind::kCleanSlate);
    WriteCleanSlateNotices(op, 1, 3, "Grim");
    EXPECT_EQ(op.Commit(), fails ? frFailed : frDone);
    EXPECT_EQ(op.FailedFile(), fails ? "LOGNOW.TXT" : "");
    EXPECT_EQ(game.ReadFile("mail3.dat"), c.after);
    EXPECT_EQ(game.Names(), (Names{"LOGNOW.TXT", "mail3.dat"}));
  }
}

}  // namespace
