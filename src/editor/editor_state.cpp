#include "editor/editor_state.h"

const char* const version_text = "v" ZORVAN_VERSION " Beta";
const char* const compile_date_text = "January 07, 2006.";

std::string game_dir;
std::map<std::string, std::string> game_paths;
uint8_t current_player = 0;
PlayerRecord current_record{};
PlayerRecord current_as_read{};
PlayerRecord scratch_record{};
bool debug_mode = false;
std::string seen_label;
bool save_pending = false;
FileResult pending_cause = frBusy;
std::string screen_notice;
bool notice_on_screen = false;
bool journal_warned = false;
std::string journal_path;
JournalHandle journal_handle;
PlayerRecord work_records[9]{};
int32_t work_loaded_from[9] = {-1, -1, -1, -1, -1, -1, -1, -1, -1};
bool same_sex = false;
int32_t quenna_spouse = 0;
int32_t dask_spouse = 0;

void EditorStateReset() {
  game_dir.clear();
  game_paths.clear();
  current_player = 0;
  current_record = PlayerRecord{};
  current_as_read = PlayerRecord{};
  scratch_record = PlayerRecord{};
  debug_mode = false;
  seen_label.clear();
  save_pending = false;
  pending_cause = frBusy;
  screen_notice.clear();
  notice_on_screen = false;
  journal_warned = false;
  journal_path.clear();
  journal_handle = JournalHandle{};
  for (auto& record : work_records) record = PlayerRecord{};
  for (auto& n : work_loaded_from) n = -1;
  same_sex = false;
  quenna_spouse = 0;
  dask_spouse = 0;
}
