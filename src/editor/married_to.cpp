#include "editor/married_to.h"

#include "door/helpers.h"
#include "editor/editor_state.h"
#include "editor/npc_marriage.h"

std::string MarriedToText(int32_t married_to) {
  if (married_to != -1) {
    // A link beyond the file shows its number alone, never the name a buffer still holds.
    if (!LoadWorkRecord(married_to, wkSpouseOfCurrent)) return IntToStr(married_to);
    return IntToStr(married_to) + " `2" + editor_state.work_records[wkSpouseOfCurrent].name.Get();
  }
  if (AnyNpcFileExists()) {
    int32_t dask = ReadDaskSpouseUnasked();
    if (dask == editor_state.current_player) return "`$Dask Able!";
    int32_t quenna = ReadQuennaSpouse();
    if (quenna == editor_state.current_player) return "`0Quenna!   ";
    // A character's file that a node holds: this player may be married to the character.
    if (dask == kSpouseUnknown || quenna == kSpouseUnknown) return "`@Unknown!";
  }
  return IntToStr(married_to) + " `#Nobody!";
}

void AskAboutBothCharacters() {
  if (editor_state.current_record.married_to == -1 && AnyNpcFileExists()) ReadDaskSpouse();
}
