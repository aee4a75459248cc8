// One change to the game's files, whole or not at all. PLAYER.DAT is held from the first read to
// the end, so every record is read and written with no node in between; the characters' marriage
// files are rewritten in place under the same hold; mail and news go out only after the records
// are written; a step that fails puts back everything the operation wrote, notices included. A
// committed operation is journaled in ZORVAN32.LOG.
#pragma once
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "editor/notice_file.h"
#include "editor/player_file.h"
#include "editor/player_record.h"

enum class OperationKind : uint8_t {
  kFieldEdit,
  kRepair,
  kNewDay,
  kCleanSlate,
  kDeletion,
  kMarriage,
  kDivorce,
  kDoubleMarriageRepair,
  kUndo,
  kSet,
  kRollback,  // an operation a crash cut short, put back
};
// The journal's word for it: "field-edit", "repair", "new-day", ...
const char* OperationName(OperationKind kind);

// A mail message or news entry waiting for its operation's commit.
struct PendingNotice {
  std::string file_name;
  NoticeLines lines;
};

// What a commit does when the operation's journal entry cannot be written.
enum JournalRule : uint8_t {
  jrChangeStands,  // the editor: the change is made all the same (Journaled() says so)
  jrRequired,      // the command words: a change that cannot be undone is not made
};

class GameOperation {
 public:
  // A dry run reads under the hold as the operation would and writes nothing of its own: no
  // record, file, notice, journal line or rollback note. An operation a crash cut short is still
  // put back first, as every start does: what the run would change is reckoned from whole files.
  explicit GameOperation(OperationKind kind, bool dry_run = false)
      : kind_(kind), dry_run_(dry_run) {}
  // An operation not committed puts back what it wrote.
  ~GameOperation();
  GameOperation(const GameOperation&) = delete;
  GameOperation& operator=(const GameOperation&) = delete;

  // Holds PLAYER.DAT, waiting for a node as a save does.
  FileResult Begin();
  // The record in the file: a dry run does not see its own writes (set, repair and undo read a
  // record before they write it, never after).
  FileResult Read(int32_t n, PlayerRecord& out);
  // Only a record already in the file (frOutside otherwise): a stale buffer never becomes a player.
  FileResult Write(int32_t n, const PlayerRecord& record);
  // The character's file rewritten in place with the line naming player, or deleted for player -1.
  // False, with the file as it was, when that could not be done.
  bool WriteCharacterFile(int character, int32_t player);
  // The same with the file's exact bytes (undo puts back what was there), or none: deleted.
  bool WriteCharacterFileBytes(int character, const std::string* bytes);
  // The journal's name for it, when not the kind's own ("undo-17").
  void SetName(std::string name) { name_ = std::move(name); }
  // A mail message or news entry, appended at the commit.
  void Notice(const std::string& file_name, NoticeLines lines);
  // The notices, each whole or cut back to where it began, then the journal. frDone; or the
  // notice (or under jrRequired the journal) that failed is named by FailedFile() and everything
  // is put back.
  FileResult Commit(JournalRule rule = jrChangeStands);
  const std::string& FailedFile() const { return failed_file_; }
  int FailedError() const { return failed_error_; }
  // After a commit: false when its journal entry could not be written.
  bool Journaled() const { return journaled_; }

 private:
  struct RecordChange {
    int32_t n;
    PlayerRecord before, after;
  };
  struct FileChange {
    std::string path;
    bool existed;
    std::string before, after;
  };
  void Undo();
  bool Journal();

  OperationKind kind_;
  bool dry_run_;
  std::string name_;
  PlayerFileHold hold_;
  bool committed_ = false;
  std::vector<RecordChange> records_;
  std::vector<FileChange> files_;
  std::vector<PendingNotice> notices_;
  std::string failed_file_;
  int failed_error_ = 0;
  bool journaled_ = false;
};

// The current player changed as one operation: read under the hold with this editor's own changes
// on it, change applied (when given), written, shown as written. On a failure current_record is as
// it was and the result says why.
FileResult UpdateCurrentPlayer(OperationKind kind,
                                const std::function<void(PlayerRecord&)>& change);
// The characters' files deleted as one operation of that kind, under the hold of PLAYER.DAT like any
// other. False, with the reason in screen_notice, when not all of them could be.
bool DeleteCharacterFiles(OperationKind kind, std::initializer_list<int> characters);
// The editor's commit: a change it could not journal stands, and the screen says so once.
FileResult CommitShown(GameOperation& op);
// A line for the rows under the main screen that says an operation was not done and why.
std::string NotDoneNotice(const GameOperation& op, FileResult result, const std::string& what);

// The save every editor makes after a change: the record re-read under the exclusive open with
// only this editor's changed fields written onto it, then shown as written. On a failure the change
// waits in memory (save_pending) and the notice naming its cause is shown. True when on disk.
bool SaveCurrentPlayer();
// Before another record is loaded over current_record (or the editor ends): a change that never
// reached the file is saved once more; false when it still cannot be.
bool ReadyToLeaveCurrentPlayer();

// An operation a crash cut short (editor/rollback.h), put back as an operation of its own
// ("rollback", journaled as any other) where its items still hold what it wrote, and said through
// editor_state.rollback_report (the notice under the main screen when none is set). Nothing when
// there is none or PLAYER.DAT cannot be held (the next hold tries again). Every Begin does it
// first.
void RollBackUnfinished();
