// The 24 marriage cases: each one's questions, the lines they show and the steps that carry it out,
// as one table walked by one procedure. In the texts, {C} {B} {R} {S} {QH} {DW} stand for the names
// of the current player, its spouse, the requested spouse, that one's spouse, Quenna's husband and
// Dask Able's wife; {Z} for the married-to text, {QN} and {DN} for the characters' spouse numbers.
// The small differences between the cases' lines are the game's own and are kept.
#include <string>
#include <string_view>

#include "door/helpers.h"
#include "door/output.h"
#include "editor/divorce.h"
#include "editor/editor_state.h"
#include "editor/marriage.h"
#include "editor/npc_marriage.h"
#include "editor/prompts.h"

namespace {

enum StepOp : uint8_t {
  soEnd,
  soRecheck,           // the characters' files afresh: refuse if either now names R or C
  soDivorceRFromS,     // the requested spouse from its present spouse
  soDivorceCFromB,     // the current player from its spouse, without asking
  soConfirmCFromB,     // the same, asked first; No stops the case
  soCurrentFromNpc,    // the current player from the step's character
  soRequestedFromNpc,  // the requested spouse from the step's character
  soHolderFromNpc,     // the character's present spouse from the character
  soCleanup,           // the step's character's file, if still there
  soMarryPlayers,
  soMarryNpc,
  soPrint,
};

struct Step {
  StepOp op;
  uint8_t character;
  const char* text;
};

constexpr Step Print(const char* text) { return {soPrint, npcNone, text}; }
constexpr Step Do(StepOp op, uint8_t character = npcNone) { return {op, character, nullptr}; }

constexpr uint8_t Q = npcQuenna;
constexpr uint8_t D = npcDask;

struct MarriageCase {
  bool two_players;         // ends in a wedding of two players: the same-sex question comes first
  const char* creating;     // shown instead of the warning (cases 9 and 10)
  const char* warning[3];   // none: no warning (case 1)
  const char* summary[3];   // none: no summary (case 1)
  Step steps[9];
};

const char* const kInfo = "  `#Marriage Info:  `0{C} `%is now `$Married `%to `!{R}!";
const char* const kPlayerInfo = "  `#Player Marriage Info:  `0{C} `%is now `$Married `%to `!{R}!";
const char* const kPlayerInfoSwapped =
    "  `#Player Marriage Info:  `!{C} `%is now `$Married `%to `0{R}!";

const MarriageCase kCases[24] = {
    // 1
    {true, nullptr, {}, {},
     {Do(soRecheck), Do(soMarryPlayers),
      Print("  `#Marriage Info: `0{C} `%is now `$Married `%to `!{R}!")}},
    // 2
    {true, nullptr,
     {"{C} is NOT Married, however ", "{R} is already Married to {S}!  Proceed?"},
     {"  `0{R} `%will be Divorced from `!{S} ", "  `!{C} `%will be Married to `0{R}! "},
     {Do(soDivorceRFromS), Do(soMarryPlayers), Print(kInfo)}},
    // 3
    {false, nullptr,
     {"{C} is currently Married to Quenna! ", "  Proceed with divorce of Quenna?"},
     {"  `0{C} `%will be Divorced from `$Quenna! "},
     {Do(soCurrentFromNpc, Q)}},
    // 4
    {false, nullptr,
     {"{C} is currently Married to Dask Able! ", "  Proceed with divorce of Dask Able?"},
     {"  `0{C} `%will be Divorced from `$Dask Able! "},
     {Do(soCurrentFromNpc, D)}},
    // 5
    {true, nullptr,
     {"{C} is currently Married to {B}! ", "  {R} is NOT Married at this time.  Proceed?"},
     {"  `0{C} `%will be Divorced from `!{B}! ", "  `!{C} `%will be Married to `0{R}! "},
     {Do(soDivorceCFromB), Do(soMarryPlayers), Print(kInfo)}},
    // 6
    {true, nullptr,
     {"{C} is currently Married to {B}! ", "  {R} is currently Married to {S}!   Proceed?"},
     {"  `0{C} `%will be Divorced from `!{B}! ", "  `!{R} `%will be Divorced from `0{S}! ",
      "  `0{C} `%will be Married to `!{R}! "},
     {Do(soDivorceRFromS), Do(soDivorceCFromB), Do(soMarryPlayers), Print(kInfo)}},
    // 7
    {false, nullptr,
     {"{C} is currently Married to {B}! ",
      "  And Quenna is NOT Married at this time.   Proceed?"},
     {"  `0{C} `%will be Divorced from `!{B}.", "  `!{C} `%will be Married to `$Quenna! "},
     {Do(soDivorceCFromB), Do(soMarryNpc)}},
    // 8
    {false, nullptr,
     {"{C} is currently Married to {B}! ",
      "  And Dask Able is NOT Married at this time.   Proceed?"},
     {"  `0{C} `%will be Divorced from {B}.", "  `!{C} `%will be Married to `$Dask Able! "},
     {Do(soDivorceCFromB), Do(soMarryNpc)}},
    // 9
    {false, "   `!Creating marriage to Quenna", {},
     {"  `0{C} `%will be Married to `$Quenna! "},
     {Do(soMarryNpc)}},
    // 10
    {false, "   `6Creating marriage to `$Dask Able", {},
     {"  `0{C} `%will be Married to `$Dask Able! "},
     {Do(soMarryNpc)}},
    // 11
    {true, nullptr,
     {"{C} is currently Married to Quenna! ", "  And {R} is NOT married to anyone. ",
      "  Proceed with Divorce from `$Quenna?"},
     {"  `0{C} `%will be Divorced from `$Quenna! ", "  `!{C} `%will be Married to `0{R}! "},
     {Do(soCurrentFromNpc, Q), Do(soMarryPlayers), Print(kInfo)}},
    // 12
    {true, nullptr,
     {"{C} is currently Married to Dask Able! ", "  And {R} is NOT married to anyone. ",
      "  Proceed with Divorce from `$Dask Able?"},
     {"  `0{C} `%will be Divorced from `$Dask Able! ", "  `0{C} `%will be Married to `!{R}! "},
     {Do(soCurrentFromNpc, D), Do(soMarryPlayers), Print(kInfo)}},
    // 13
    {true, nullptr,
     {"{C} is currently Married to Quenna! ", "  {R} is currently Married to {S}! ",
      "  Proceed with Divorce of Quenna, then create Player Marriage?"},
     {"  `0{C} `%will be Divorced from `$Quenna! ", "  {R} `%will be Divorced from {S}! ",
      "  `0{C} `%will be Married to {R}! "},
     {Do(soCurrentFromNpc, Q),
      Print("  `#NPC Divorce Info:  `0{C} `%has been `@Divorced `%from `$Quenna."),
      Do(soDivorceRFromS),
      Print("  `#Player Divorce Info:  `0{R} `%has been `@Divorced `%from `!{S}!"),
      Do(soMarryPlayers),
      Print("  `#Player Marriage Info: `!{C} `%is now `$Married `%to `0{R}!")}},
    // 14
    {true, nullptr,
     {"{C} is currently Married to Dask Able! ", "  {R} is currently Married to {S}! ",
      "  Proceed with Divorce of Dask Able, then create Player Marriage?"},
     {"  `0{C} `%will be Divorced from `$Dask Able! ", "  `!{R} `%will be Divorced from `0{S}! ",
      "  `0{C} `%will be Married to `!{R}! "},
     {Do(soCurrentFromNpc, D),
      Print("  `#NPC Divorce Info:  `0{C} `%has been `@Divorced `%from `$Dask Able"),
      Do(soDivorceRFromS),
      Print("  `#Player Divorce Info:  `!{R} `%has been `@Divorced `%from `0{S}!"),
      Do(soMarryPlayers), Print(kPlayerInfo)}},
    // 15
    {false, nullptr,
     {"  `0{C} `%will be Divorced from player #{Z} ",
      "  Quenna will be divorced from player #{QN} {QH}! ",
      "  `0{C} `%will be Married to Quenna!  Proceed?"},
     {"  `0{C} `%will be Divorced from player #{Z}! ",
      "  Quenna will be divorced from player #{QN} {QH}! ",
      "  `0{C} `%will be Married to Quenna! "},
     {Do(soConfirmCFromB),
      Print("  `#Divorce Info: `0{C} `%has been `@Divorced `%from `!{B}!"),
      Do(soHolderFromNpc, Q), Do(soMarryNpc)}},
    // 16
    {false, nullptr,
     {"  `0{C} `%will be Divorced from player #{Z} ",
      "  Dask Able will be divorced from player #{DN} {DW}! ",
      "  `0{C} `%will be Married to Dask Able!  Proceed?"},
     {"  `0{C} `%will be Divorced from player #{Z}! ",
      "  Dask Able will be divorced from player #{DN} {DW}! ",
      "  `0{C} `%will be Married to Dask Able! "},
     {Do(soConfirmCFromB),
      Print("  `#Divorce Info:  `0{C} `%has been `@Divorced `%from `!{B}!"),
      Do(soHolderFromNpc, D), Do(soMarryNpc)}},
    // 17
    {true, nullptr,
     {"  `0{C} `%will be Divorced from `$Quenna! ", "  {R} `%will be Divorced from `$Dask Able! ",
      "  `0{C} `%will be Married to {R}!  Proceed?"},
     {"  `0{C} `%will be Divorced from `$Quenna! ", "  {R} `%will be Divorced from `$Dask Able! ",
      "  `0{C} `%will be Married to {R}! "},
     {Do(soCurrentFromNpc, Q),
      Print("  `#NPC Divorce Status:  `0{C} `%has been `@Divorced `%from `$Quenna!"),
      Do(soRequestedFromNpc, D),
      Print("  `#NPC Divorce Status:  `0{R} `%has been `@Divorced `%from `$Dask Able!"),
      Do(soCleanup, Q), Do(soCleanup, D), Do(soMarryPlayers), Print(kPlayerInfo)}},
    // 18
    {true, nullptr,
     {"  `0{C} `%will be Divorced from `$Dask Able! ", "  {R} `%will be Divorced from `$Quenna! ",
      "  `0{C} `%will be Married to {R}!  Proceed?"},
     {"  `0{C} `%will be Divorced from `$Dask Able! ", "  {R} `%will be Divorced from `$Quenna! ",
      "  `0{C} `%will be Married to {R}! "},
     {Do(soCurrentFromNpc, D),
      Print("  `#NPC Divorce Status:  `0{C} `%has been `@Divorced `%from `$Dask Able!"),
      Do(soRequestedFromNpc, Q),
      Print("  `#NPC Divorce Status:  `!{R} `%has been `@Divorced `%from `$Quenna!"),
      Do(soCleanup, Q), Do(soCleanup, D), Do(soMarryPlayers), Print(kPlayerInfo)}},
    // 19
    {true, nullptr,
     {"{C} is NOT Married, however ", "{R} is already Married to Quenna!   Proceed?"},
     {"{R} `%will be Divorced from `$Quenna! ", "  {C} `%will be Married to {R}! "},
     {Do(soRequestedFromNpc, Q), Do(soCleanup, Q),
      Print("  `#NPC Divorce Status:  `0{R} `%has been `@Divorced `%from `$Quenna!"),
      Do(soMarryPlayers), Print(kPlayerInfoSwapped)}},
    // 20
    {true, nullptr,
     {"{C} is NOT Married, however ", "{R} is already Married to Dask Able!   Proceed?"},
     {"{R} `%will be Divorced from `$Dask Able! ", "  {C} `%will be Married to {R}! "},
     {Do(soRequestedFromNpc, D), Do(soCleanup, D),
      Print("  `#NPC Divorce Status:  `0{R} `%has been `@Divorced `%from `$Dask Able!"),
      Do(soMarryPlayers),
      Print("  `#Player Marriage Info:  `!{C} `%is now `$Married `%to to `0{R}!")}},
    // 21
    {true, nullptr,
     {"{C} is currently Married to {B}! ", "  {R} is currently Married to Quenna! ",
      "  Proceed with both Divorces, then create new Player Marriage?"},
     {"  `0{C} `%will be Divorced from {B}! ", "  {R} `%will be Divorced from `$Quenna! ",
      "  `0{C} `%will be Married to {R}! "},
     {Do(soConfirmCFromB),
      Print("  `#Divorce Info:  `0{C} `%has been `@Divorced `%from `!{B}!"),
      Do(soRequestedFromNpc, Q),
      Print("  `#Player Divorce Info:  `0{R} `%has been `@Divorced `%from `$Quenna!"),
      Do(soMarryPlayers), Print(kPlayerInfoSwapped)}},
    // 22
    {true, nullptr,
     {"{C} is currently Married to {B}! ", "  {R} is currently Married to Dask Able! ",
      "  Proceed with both Divorces, then create new Player Marriage?"},
     {"  `0{C} `%will be Divorced from {B}! ", "  {R} `%will be Divorced from `$Dask Able! ",
      "  `0{C} `%will be Married to {R}! "},
     {Do(soConfirmCFromB),
      Print("  `#Divorce Info:  `0{C} `%has been `@Divorced `%from `!{B}!"),
      Do(soRequestedFromNpc, D),
      Print("  `#Player Divorce Info:  `0{R} `%has been `@Divorced `%from `$Dask Able!"),
      Do(soMarryPlayers), Print(kPlayerInfo)}},
    // 23
    {false, nullptr,
     {"Quenna will be Divorced from {QH}! ", "  `0{C} `%will be Married to Quenna!  Proceed?"},
     {"  `$Quenna `%will be Divorced from `!{QH}! ", "  `0{C} `%will be Married to Quenna! "},
     {Do(soHolderFromNpc, Q),
      Print("  `#NPC Divorce Info:  `0{QH} `%has been `@Divorced `%from `$Quenna!"),
      Do(soCleanup, Q), Do(soMarryNpc)}},
    // 24
    {false, nullptr,
     {"Dask Able will be Divorced from {DW}! ",
      "  `0{C} `%will be Married to Dask Able!  Proceed?"},
     {"  `$Dask Able `%will be Divorced from `!{DW}! ",
      "  `0{C} `%will be Married to `$Dask Able! "},
     {Do(soHolderFromNpc, D),
      Print("  `#NPC Divorce Info (24):  `0{DW} `%has been `@Divorced `%from `$Dask Able!"),
      Do(soCleanup, D), Do(soMarryNpc)}},
};

// The text with its {X} fields filled in; a name is inserted as it stands, never scanned again.
std::string Fill(std::string_view text, const MarriageRequest& rq) {
  const struct {
    std::string_view field;
    std::string value;
  } fields[] = {
      {"{C}", rq.c_name},   {"{B}", rq.b_name},   {"{R}", rq.r_name},
      {"{S}", rq.s_name},   {"{QH}", rq.qh_name}, {"{DW}", rq.dw_name},
      {"{Z}", rq.z_text},   {"{QN}", IntToStr(editor_state.quenna_spouse)},
      {"{DN}", IntToStr(editor_state.dask_spouse)},
  };
  std::string out;
  while (!text.empty()) {
    bool filled = false;
    for (const auto& f : fields) {
      if (text.substr(0, f.field.size()) != f.field) continue;
      out += f.value;
      text.remove_prefix(f.field.size());
      filled = true;
      break;
    }
    if (!filled) {
      out += text.front();
      text.remove_prefix(1);
    }
  }
  return out;
}

bool Answer(const char* yes, const char* no) {
  bool answer = YesNo();
  DoorPrintLn(answer ? yes : no);
  return answer;
}

// Case 1 asks nothing, so the characters' files may have changed since the request was sorted.
bool StillFree(const MarriageRequest& rq) {
  int32_t d = ReadDaskSpouse();
  int32_t q = ReadQuennaSpouse();
  if (q == kSpouseUnknown || d == kSpouseUnknown) {
    editor_state.screen_notice =
        "  `@MARRAGE.DAT or MARBARD.DAT cannot be read!  `%Nothing was changed.";
    return false;
  }
  if (q == rq.r || d == rq.r) {
    editor_state.screen_notice =
        "  `@Marriage Warning: `%Requested spouse is married to `$Quenna or Dask. `%Request Denied!";
    return false;
  }
  if (q == editor_state.current_player || d == editor_state.current_player) {
    editor_state.screen_notice =
        "  `@Marriage Warning: `%Current player is married to `$Quenna or Dask. "
        "`%Unable to handle here.";
    return false;
  }
  return true;
}

bool FromCharacter(int32_t player, DivorceWho who, int character, DrawScreen draw_screen) {
  if (!DivorceFromNpc(player, who, character, draw_screen)) return false;
  NpcSpouse(character) = -1;
  return true;
}

// False when the case stops at this step.
bool RunStep(const Step& step, const MarriageRequest& rq, DrawScreen draw_screen) {
  switch (step.op) {
    case soEnd: return false;
    case soRecheck: return StillFree(rq);
    // A step that could not be made stops the case: the next would build on what is not there.
    case soDivorceRFromS: return ExecuteDivorce(rq.r, rq.p, dkOthers, npcNone);
    case soDivorceCFromB:
      return ExecuteDivorce(editor_state.current_player, rq.m, dkCurrentFromPlayer, npcNone);
    case soConfirmCFromB:
      return ConfirmPlayerDivorce(editor_state.current_player, rq.m, draw_screen);
    case soCurrentFromNpc:
      return FromCharacter(editor_state.current_player, dwCurrent, step.character, draw_screen);
    case soRequestedFromNpc: return FromCharacter(rq.r, dwOther, step.character, draw_screen);
    case soHolderFromNpc:
      return FromCharacter(step.character == npcQuenna ? rq.q : rq.d, dwOther, step.character,
                           draw_screen);
    case soCleanup: CleanupNpcFile(step.character); return true;
    case soMarryPlayers: return MarryPlayers(rq.r, draw_screen);
    case soMarryNpc: return MarryNpc(draw_screen);
    case soPrint: DoorPrintLn(Fill(step.text, rq)); return true;
  }
  return false;
}

}  // namespace

bool MarriageWarning(int marriage_case, const MarriageRequest& rq) {
  const MarriageCase& mc = kCases[marriage_case - 1];
  DoorPrintLn("  `#WARNING: `%" + Fill(mc.warning[0], rq));
  for (int i = 1; i < 3 && mc.warning[i] != nullptr; ++i) DoorPrintLn("  `%" + Fill(mc.warning[i], rq));
  DoorPrintCodedLn("  `%Enter Y or N as your response: ");
  return Answer("`%Yes", "`%No");
}

bool MarriageSummary(int marriage_case, const MarriageRequest& rq) {
  const MarriageCase& mc = kCases[marriage_case - 1];
  DoorWriteLn(" ");
  DoorPrintLn("  `%Here's the `#Marriage Status Summary: ");
  for (const char* line : mc.summary)
    if (line != nullptr) DoorPrintLn("  `%" + Fill(line, rq));
  DoorPrintCodedLn("  `%  `%Enter Y to PROCEED or N to ABORT process! ");
  return Answer("  `!Yes", "  `!No");
}

void CarryOutMarriageCase(int marriage_case, const MarriageRequest& rq, bool same_sex_asked,
                          DrawScreen draw_screen) {
  if (marriage_case < 1 || marriage_case > 24) return;
  const MarriageCase& mc = kCases[marriage_case - 1];
  if (mc.two_players && !same_sex_asked && rq.same_sex && !SameSexConfirm(rq.r_name)) return;
  if (mc.creating != nullptr)
    DoorPrintLn(mc.creating);
  else if (mc.warning[0] != nullptr && !MarriageWarning(marriage_case, rq))
    return;
  if (mc.summary[0] != nullptr && !MarriageSummary(marriage_case, rq)) return;
  for (const Step& step : mc.steps)
    if (!RunStep(step, rq, draw_screen)) return;
}
