// The marriage editor through keys: Z, the request and the answers, then Q. Each scenario checks
// PLAYER.DAT, both characters' files, every mail and news file byte for byte, the lines shown and the
// married-to text of the main screen afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "door/output.h"
#include "editor/editor_state.h"
#include "editor/mail_news.h"
#include "editor/main_screen.h"
#include "fakes/door_harness.h"
#include "fakes/game_fixture.h"
#include "fakes/screen_text.h"

namespace {

constexpr int kQuenna = -1, kDask = -2;  // a notice's partner when it is a character

struct Who {
  uint8_t sex;  // 0 male, 5 female
  int16_t married_to;
  int16_t charm;
};
struct After {
  int16_t married_to, charm;
};
// 'd' NewsDivorce, 'm' NewsMarriage, 'D' MailDivorceNotice, 'W' MailWeddingNotice,
// 'N' MailNpcWeddingNotice; a and b are player numbers (b may be a character).
struct Notice {
  char kind;
  int a, b;
};
struct Scenario {
  const char* title;
  std::vector<Who> players;  // further players up to `count` are unmarried women
  uint8_t current;
  const char* quenna_file;  // MARRAGE.DAT before (nullptr: none)
  const char* dask_file;
  std::string keys;           // after Z
  std::vector<After> after;   // per player; empty: PLAYER.DAT unchanged
  const char* quenna_after;   // MARRAGE.DAT afterwards (nullptr: none)
  const char* dask_after;
  std::vector<Notice> notices;
  std::vector<std::string> lines;  // shown in this order, without colour codes
  std::string married_text;        // the main screen's married-to text afterwards
  bool debug = true;
  const char* absent = nullptr;    // a text that must not be shown
  // A node changing a file while the editor runs: when `when` is shown, `file` gets `content`.
  const char* when = nullptr;
  const char* file = nullptr;
  const char* content = nullptr;
  int count = 0;
};

const char* const kNames[] = {"Arno", "Bela", "Cato", "Dara", "Emil"};
std::string NameOf(int n) {
  if (n == kQuenna) return "Quenna";
  if (n == kDask) return "Dask Able";
  if (n < 5) return kNames[n];
  std::string name = "P";
  name += std::to_string(n);
  return name;
}

// The node of a scenario, fired from the output tap once its text has been shown.
std::string shown;
const Scenario* node = nullptr;
const TempGameDir* node_game = nullptr;
void Tap(std::string_view bytes) {
  shown.append(bytes);
  if (node != nullptr && node->when != nullptr &&
      StripAnsi(shown).find(node->when) != std::string::npos) {
    node_game->WriteFile(node->file, node->content);
    node = nullptr;
  }
}

// The mail and news that these notices, written in this order, leave in an empty directory.
void WriteNotices(const TempGameDir& dir, const std::vector<Notice>& notices) {
  std::string saved = game_dir;
  game_dir = dir.Dir();
  for (const Notice& n : notices) {
    switch (n.kind) {
      case 'd': NewsDivorce(NameOf(n.a), NameOf(n.b)); break;
      case 'm': NewsMarriage(NameOf(n.a), NameOf(n.b)); break;
      case 'D': MailDivorceNotice(n.a, NameOf(n.a), n.b < 0 ? 0 : n.b, NameOf(n.b)); break;
      case 'W': MailWeddingNotice(n.a, NameOf(n.a), n.b, NameOf(n.b)); break;
      case 'N': MailNpcWeddingNotice(n.a, NameOf(n.a), NameOf(n.b)); break;
    }
  }
  game_dir = saved;
}

// Everything in the directory but the game's own data files.
std::vector<std::pair<std::string, std::string>> TextFiles(const TempGameDir& dir) {
  std::vector<std::pair<std::string, std::string>> files;
  for (const std::string& name : dir.Names())
    if (name != "PLAYER.DAT" && name != "MARRAGE.DAT" && name != "MARBARD.DAT")
      files.emplace_back(name, dir.ReadFile(name));
  return files;
}

void RunScenario(const Scenario& s) {
  SCOPED_TRACE(s.title);
  TempGameDir game, reference;
  std::vector<PlayerRecord> players;
  for (int i = 0; i < std::max<int>(s.count, static_cast<int>(s.players.size())); ++i) {
    PlayerRecord p = MakePlayer(NameOf(i), "REAL " + std::to_string(i), 40 + i);
    Who who = i < static_cast<int>(s.players.size()) ? s.players[i] : Who{5, -1, 12};
    p.sex = who.sex, p.married_to = who.married_to, p.charm = who.charm;
    players.push_back(p);
  }
  StartEditorOn(game, players, s.current);
  debug_mode = s.debug;
  if (s.quenna_file != nullptr) game.WriteFile("MARRAGE.DAT", s.quenna_file);
  if (s.dask_file != nullptr) game.WriteFile("MARBARD.DAT", s.dask_file);
  shown.clear();
  node = &s;
  node_game = &game;
  DoorSetOutputTap(&Tap);
  TypeKeys("Z" + s.keys + "Q");
  MainLoop();
  DoorSetOutputTap(nullptr);
  node = nullptr;

  std::vector<PlayerRecord> expected = players;
  for (size_t i = 0; i < s.after.size(); ++i)
    expected[i].married_to = s.after[i].married_to, expected[i].charm = s.after[i].charm;
  std::string bytes;
  for (const PlayerRecord& p : expected) bytes += RecordBytes(p);
  EXPECT_EQ(game.ReadFile("PLAYER.DAT"), bytes);
  EXPECT_EQ(game.Exists("MARRAGE.DAT"), s.quenna_after != nullptr);
  EXPECT_EQ(game.Exists("MARBARD.DAT"), s.dask_after != nullptr);
  EXPECT_EQ(game.ReadFile("MARRAGE.DAT"), s.quenna_after ? s.quenna_after : "");
  EXPECT_EQ(game.ReadFile("MARBARD.DAT"), s.dask_after ? s.dask_after : "");
  WriteNotices(reference, s.notices);
  EXPECT_EQ(TextFiles(game), TextFiles(reference));
  std::string text = StripAnsi(shown);
  size_t at = 0;
  for (const std::string& line : s.lines) {
    size_t found = text.find(line + "\r\n", at);
    EXPECT_NE(found, std::string::npos) << "not shown (in this order): " << line;
    if (found != std::string::npos) at = found + line.size();
  }
  if (s.absent != nullptr) {
    EXPECT_EQ(text.find(s.absent), std::string::npos) << s.absent;
  }
  EXPECT_EQ(MarriedToShown(), s.married_text);
}

const Who M{0, -1, 12}, F{5, -1, 12};

TEST(MarriageEditor, CarriesOutEachCaseThroughKeys) {
  const Scenario scenarios[] = {
      {"case 1", {M, F}, 0, nullptr, nullptr, "1\r", {{1, 12}, {0, 12}}, nullptr, nullptr,
       {{'W', 0, 1}, {'m', 0, 1}},
       {"  ZORVAN/32 Info:  WTF Marriage Code is 1",
        "  Marriage Info: Arno is now Married to Bela!"}, "1 Bela"},
      {"case 1, the requested spouse married to Quenna meanwhile", {M, M}, 0, nullptr, nullptr,
       "1\rY", {}, "1\r\n", nullptr, {},
       {"  WARNING:  Arno is the same Sex type as Bela! ", "Yes",
        "  Marriage Warning: Requested spouse is married to Quenna or Dask. Request Denied!"},
       "-1 Nobody!", true, nullptr, "Same-Sex Marriage?", "MARRAGE.DAT", "1\r\n"},
      {"case 1, the current player married to Quenna meanwhile", {M, M}, 0, nullptr, nullptr,
       "1\rY", {}, "0\r\n", nullptr, {},
       {"  Marriage Warning: Current player is married to Quenna or Dask. Unable to handle here."},
       "Quenna!", true, nullptr, "Same-Sex Marriage?", "MARRAGE.DAT", "0\r\n"},
      {"case 2", {M, {5, 2, 12}, {0, 1, 12}}, 0, nullptr, nullptr, "1\rYY",
       {{1, 12}, {0, 6}, {-1, 6}}, nullptr, nullptr,
       {{'d', 1, 2}, {'D', 1, 2}, {'W', 0, 1}, {'m', 0, 1}},
       {"  WARNING: Arno is NOT Married, however ", "  Bela is already Married to Cato!  Proceed?",
        "  Here's the Marriage Status Summary: ", "    Bela will be Divorced from Cato ",
        "    Arno will be Married to Bela! ", "  Marriage Info:  Arno is now Married to Bela!"},
       "1 Bela"},
      {"case 5", {{0, 1, 80}, {5, 0, 60}, F}, 0, nullptr, nullptr, "2\rYY",
       {{2, 40}, {-1, 30}, {0, 12}}, nullptr, nullptr,
       {{'d', 0, 1}, {'D', 0, 1}, {'W', 0, 2}, {'m', 0, 2}},
       {"  ZORVAN/32 Info:  WTF Marriage Code is 5",
        "  WARNING: Arno is currently Married to Bela! ",
        "    Cato is NOT Married at this time.  Proceed?",
        "  Marriage Info:  Arno is now Married to Cato!"},
       "2 Cato"},
      {"case 6, charm halved toward zero", {{0, 1, 101}, {5, 0, 1}, {0, 3, -7}, {5, 2, 7}}, 0,
       nullptr, nullptr, "3\rYY", {{3, 50}, {-1, 0}, {-1, -3}, {0, 3}}, nullptr, nullptr,
       {{'d', 3, 2}, {'D', 3, 2}, {'d', 0, 1}, {'D', 0, 1}, {'W', 0, 3}, {'m', 0, 3}},
       {"    Dara will be Divorced from Cato! ",
        "  Marriage Info:  Arno is now Married to Dara!"}, "3 Dara"},
      {"case 9", {M, F}, 0, nullptr, nullptr, "-2\rY", {}, "0\r\n", nullptr,
       {{'N', 0, kQuenna}, {'m', 0, kQuenna}},
       {"  ZORVAN/32 Info:  WTF Marriage Code is 9", "   Creating marriage to Quenna",
        "    Arno will be Married to Quenna! ", "  Marriage Info: Arno is now Married to Quenna!"},
       "Quenna!"},
      {"case 10", {M, F}, 1, nullptr, nullptr, "-2\rY", {}, nullptr, "1\r\n",
       {{'N', 1, kDask}, {'m', 1, kDask}},
       {"   Creating marriage to Dask Able", "  Marriage Info: Bela is now Married to Dask Able!"},
       "Dask Able!"},
      {"case 13", {M, {5, 2, 12}, {0, 1, 12}}, 0, "0\r\n", nullptr, "1\rYY",
       {{1, 6}, {0, 6}, {-1, 6}}, nullptr, nullptr,
       {{'d', 0, kQuenna}, {'D', 0, kQuenna}, {'d', 1, 2}, {'D', 1, 2}, {'W', 0, 1}, {'m', 0, 1}},
       {"  WTF Marriage Code is 13", "  NPC Divorce Info: MARRAGE.DAT file has been deleted.",
        "  NPC Divorce Info:  Arno has been Divorced from Quenna.",
        "  Player Divorce Info:  Bela has been Divorced from Cato!",
        "  Player Marriage Info: Arno is now Married to Bela!"},
       "1 Bela"},
      {"case 15, No to the divorce: nothing changes", {{0, 1, 12}, {5, 0, 12}, M}, 0, "2\r\n",
       nullptr, "-2\rYYN", {}, "2\r\n", nullptr, {},
       {"  ZORVAN/32 Info:  WTF Marriage Code is 15",
        "  WARNING:   Arno will be Divorced from player #1 Bela ",
        "    Quenna will be divorced from player #2 Cato! ", "  Okay to divorce Arno from Bela now? ",
        "  Divorce Update Info:  Changes aborted"},
       "1 Bela"},
      {"case 17, a leftover file cleaned up silently", {M, F}, 0, "0\r\n", "1\r\n", "1\rYY",
       {{1, 6}, {0, 6}}, nullptr, nullptr,
       {{'d', 0, kQuenna}, {'D', 0, kQuenna}, {'d', 1, kDask}, {'D', 1, kDask}, {'W', 0, 1},
        {'m', 0, 1}},
       {"  NPC Divorce Status:  Arno has been Divorced from Quenna!",
        "  NPC Divorce Status:  Bela has been Divorced from Dask Able!",
        "  Player Marriage Info:  Arno is now Married to Bela!"},
       "1 Bela", false, "Cleanup", "Status:  Arno has been Divorced from Quenna!", "MARRAGE.DAT",
       "0\r\n"},
      {"case 17 under /DEBUG", {M, F}, 0, "0\r\n", "1\r\n", "1\rYY", {{1, 6}, {0, 6}}, nullptr,
       nullptr,
       {{'d', 0, kQuenna}, {'D', 0, kQuenna}, {'d', 1, kDask}, {'D', 1, kDask}, {'W', 0, 1},
        {'m', 0, 1}},
       {"  WTF Marriage Code is 17",
        "  NPC Divorce Cleanup:  Manually deleted MARRAGE.DAT file."},
       "1 Bela", true, nullptr, "Status:  Arno has been Divorced from Quenna!", "MARRAGE.DAT",
       "0\r\n"},
      {"case 19", {F, M}, 0, "1\r\n", nullptr, "1\rYY", {{1, 12}, {0, 6}}, nullptr, nullptr,
       {{'d', 1, kQuenna}, {'D', 1, kQuenna}, {'W', 0, 1}, {'m', 0, 1}},
       {"  ZORVAN/32 Info:  WTF Marriage Code is 19",
        "  NPC Divorce Status:  Bela has been Divorced from Quenna!",
        "  Player Marriage Info:  Arno is now Married to Bela!"},
       "1 Bela"},
      {"case 20, 'to to'", {M, F}, 0, nullptr, "1\r\n", "1\rYY", {{1, 12}, {0, 6}}, nullptr,
       nullptr, {{'d', 1, kDask}, {'D', 1, kDask}, {'W', 0, 1}, {'m', 0, 1}},
       {"  WARNING: Arno is NOT Married, however ",
        "  Bela is already Married to Dask Able!   Proceed?",
        "  Player Marriage Info:  Arno is now Married to to Bela!"},
       "1 Bela"},
      {"case 23", {M, F, M}, 0, "2\r\n", nullptr, "-2\rYY", {{-1, 12}, {-1, 12}, {-1, 6}}, "0\r\n", nullptr,
       {{'d', 2, kQuenna}, {'D', 2, kQuenna}, {'N', 0, kQuenna}, {'m', 0, kQuenna}},
       {"  WARNING: Quenna will be Divorced from Cato! ",
        "  NPC Divorce Info:  Cato has been Divorced from Quenna!",
        "  Marriage Info: Arno is now Married to Quenna!"},
       "Quenna!"},
      {"case 24", {M, F, M, F}, 1, nullptr, "3\r\n", "-2\rYY",
       {{-1, 12}, {-1, 12}, {-1, 12}, {-1, 6}}, nullptr, "1\r\n",
       {{'d', 3, kDask}, {'D', 3, kDask}, {'N', 1, kDask}, {'m', 1, kDask}},
       {"  NPC Divorce Info (24):  Dara has been Divorced from Dask Able!",
        "  Marriage Info: Bela is now Married to Dask Able!"},
       "Dask Able!"},
      {"case 3: -1 from Quenna's husband", {M, F}, 0, "0\r\n", nullptr, "-1\rYY",
       {{-1, 6}}, nullptr, nullptr, {{'d', 0, kQuenna}, {'D', 0, kQuenna}},
       {"  WTF Divorce Code is 3", "  WARNING: Arno is currently Married to Quenna! ",
        "  NPC Divorce Status Info:  Orvin has left the building!  Divorce Finalized!",
        "  Player Charm Change:  Charm points of Arno dropped by 50%."},
       "-1 Nobody!"},
  };
  for (const Scenario& s : scenarios) RunScenario(s);
}

TEST(MarriageEditor, RefusesOrDivertsRequestsItCannotMarry) {
  std::vector<After> hundred(100, After{-1, 12});
  hundred[0] = {99, 12}, hundred[99] = {0, 12};
  const Scenario scenarios[] = {
      // Dask married to Bela is nothing to Arno's screen.
      {"self-marriage", {M, F}, 0, nullptr, "1\r\n", "0\r", {}, nullptr, "1\r\n", {},
       {"  Idiot Alert Info:  Player can't marry themselves!"}, "-1 Nobody!"},
      {"self-marriage of Quenna's husband", {M, F}, 0, "0\r\n", nullptr, "0\r", {}, "0\r\n",
       nullptr, {}, {"  Idiot Alert Info:  Player can't marry themselves!"}, "Quenna!"},
      {"no change: unmarried, -1", {M, F}, 0, nullptr, nullptr, "-1\r", {}, nullptr, nullptr, {},
       {"  Marriage Update Info:  No changes selected at this time"}, "-1 Nobody!"},
      {"no change: the present spouse", {{0, 1, 12}, {5, 0, 12}}, 0, nullptr, nullptr, "1\r", {},
       nullptr, nullptr, {}, {"  Marriage Update Info:  No changes selected at this time"},
       "1 Bela"},
      {"-1 divorces a married player", {{0, 1, 9}, {5, 0, -9}}, 0, nullptr, nullptr, "-1\rY",
       {{-1, 4}, {-1, -4}}, nullptr, nullptr, {{'d', 0, 1}, {'D', 0, 1}},
       {"  Okay to divorce Arno from Bela now? ", "Yes",
        "  Divorce Status Info:  Orvin has left the building!  Divorce Finalized!"},
       "-1 Nobody!"},
      {"-2 from Quenna's husband", {M, F}, 0, "0\r\n", nullptr, "-2\r", {}, "0\r\n", nullptr, {},
       {"  ZORVAN/32 Info:  WTF Marriage Code is 255",
        "  Advisory:  This situation is NOT handled by ZORVAN/32."}, "Quenna!"},
      {"-7 on 100 players is player 99", {M}, 0, nullptr, nullptr, "-7\r",
       hundred, nullptr, nullptr,
       {{'W', 0, 99}, {'m', 0, 99}}, {"  Marriage Info: Arno is now Married to P99!"}, "99 P99",
       true, nullptr, nullptr, nullptr, nullptr, 100},
      {"abc is player 0", {M, F}, 1, nullptr, nullptr, "abc\r", {{1, 12}, {0, 12}}, nullptr,
       nullptr, {{'W', 1, 0}, {'m', 1, 0}}, {"  Marriage Info: Bela is now Married to Arno!"},
       "0 Arno"},
      {"same sex, cancelled", {M, F, M}, 0, nullptr, nullptr, "2\rN", {}, nullptr, nullptr, {},
       {"  WARNING:  Arno is the same Sex type as Cato! ",
        "  This would be a Same-Sex Marriage?   Proceed?", "No",
        "  Marriage Info:  Same-Sex Marriage request Cancelled by user."}, "-1 Nobody!"},
      {"double marriage repaired on opening; Esc asks for nobody", {{0, 1, 12}, {5, 0, 12}}, 0,
       "0\r\n", nullptr, "\x1b", {}, nullptr, nullptr, {},
       {"  Two marriage Alert:  Player is Married to a Player AND to Quenna!",
        "  ZORVAN/32 Advisory: Invalid marriage to Quenna was deleted.",
        "  Marriage Update Info:  No changes selected at this time"}, "1 Bela"},
  };
  for (const Scenario& s : scenarios) RunScenario(s);
}

}  // namespace
