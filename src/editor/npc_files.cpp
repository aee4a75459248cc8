#include "editor/npc_files.h"

const char* NpcFileName(int character) {
  return character == npcDask ? "MARBARD.DAT" : "MARRAGE.DAT";
}

const char* NpcName(int character) { return character == npcDask ? "Dask Able" : "Quenna"; }
