// The marriage editor (key Z): the request, its sorting into one of 24 cases, the questions of the
// case, and the divorces and weddings that carry it out.
#pragma once
#include <cstdint>
#include <string>

#include "editor/key_table.h"

// Everything one request is decided on, read once the request is typed. Player numbers are record
// numbers; q and d are the characters' spouses (-1: free); p is the requested player's own
// married_to (-1 for a request below 0).
struct MarriageRequest {
  int32_t r = 0;   // the request: a player, -1 divorce, -2 the character of the player's sex
  int32_t m = -1;  // the current player's player spouse
  int32_t q = -1;
  int32_t d = -1;
  int32_t p = -1;
  uint8_t sex = 0;
  bool same_sex = false;  // the requested player has the current player's sex
  // The names the questions and result lines show: current, current spouse, requested spouse,
  // the requested spouse's spouse, Quenna's husband, Dask Able's wife; z is the married-to text.
  std::string c_name, b_name, r_name, s_name, qh_name, dw_name, z_text;
};

constexpr int kNoMarriageCase = 255;

// The commands whose result stands under the main screen draw it with draw_screen.
void MarriageEditor(DrawScreen draw_screen);
// The case (1-24) of the request, or kNoMarriageCase.
int ClassifyMarriage(const MarriageRequest& request);
bool SameSexConfirm(const std::string& requested_name);
// The cases' table and the three below are in marriage_cases.cpp; the rest in marriage.cpp.
bool MarriageWarning(int marriage_case, const MarriageRequest& request);
bool MarriageSummary(int marriage_case, const MarriageRequest& request);
// Asks the case's questions, then makes its changes.
void CarryOutMarriageCase(int marriage_case, const MarriageRequest& request, bool same_sex_asked,
                          DrawScreen draw_screen);

// False when nothing was married (a record or file that could not be read or written).
bool MarryPlayers(int32_t r, DrawScreen draw_screen);
bool MarryNpc(DrawScreen draw_screen);
void CleanupNpcFile(int character);
