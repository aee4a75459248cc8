#include "editor/notice_file.h"

#include <algorithm>

#include "editor/player_file.h"
#include "editor/rollback.h"

namespace {

// A text file may end in a Ctrl-Z mark inside its last 128-byte block (the old DOS convention);
// appending overwrites the mark and whatever follows it, so the game's readers never stop early.
constexpr int64_t kEofBlock = 128;
constexpr char kCtrlZ = 26;

// The file opened for appending with the writers' lock held: the game's nodes may go on reading,
// another writer of ours waits its turn (up to the usual 5 s). A file that writer made and removed
// again meanwhile is opened anew.
bool OpenForAppend(OsFile& file, const std::string& path) {
  OpenModeScope shared(fmShared);
  for (int tries = 0; tries < 3; ++tries) {
    if (RetryWhileHeld(path, [&] {
          return FileOpen(file, path, faAppend, /*create=*/true) && FileLockWriters(file);
        }) != frDone)
      return false;
    if (!FileIsUnlinked(file)) return true;
    FileClose(file);
  }
  return false;
}

// Where our bytes go: the first Ctrl-Z of the last block, or the end. replaced gets what that
// overwrites.
bool FindAppendStart(OsFile& file, int64_t& start, std::string& replaced) {
  int64_t length = FileLength(file);
  if (length < 0) return false;
  int64_t block = std::max<int64_t>(0, length - kEofBlock);
  std::string tail(static_cast<size_t>(length - block), '\0');
  if (!tail.empty() && !FileReadAt(file, block, tail.data(), tail.size())) return false;
  size_t mark = tail.find(kCtrlZ);
  start = mark == std::string::npos ? length : block + static_cast<int64_t>(mark);
  replaced = mark == std::string::npos ? "" : tail.substr(mark);
  return true;
}

// The file back to what it held before the append: a file the append made goes (while the lock is
// held, so another writer of ours that waits for it sees it gone and makes it anew).
bool CutBack(AppendedNotice& notice) {
  OsFile& file = notice.file;
  if (!FileTruncate(file, notice.start) ||
      !(notice.replaced.empty() ||
        FileWriteAtEnd(file, notice.replaced.data(), notice.replaced.size())))
    return false;
  if (notice.created && FileLength(file) == 0) FileRemove(notice.path);
  return true;
}

}  // namespace

bool AppendNotice(const std::string& path, const NoticeLines& lines, AppendedNotice& out) {
  std::string bytes;
  for (const auto& line : lines) bytes += line + "\r\n";
  OsFile& file = out.file;
  out.path = path;
  // Noted before the open that may make the file, or after the look at its end.
  const bool made = !PathExists(path);
  bool appended = (!made || RollbackNoteAppend(path, true, 0, "", bytes)) &&
                  OpenForAppend(file, path) && FindAppendStart(file, out.start, out.replaced) &&
                  (made || RollbackNoteAppend(path, false, out.start, out.replaced, bytes));
  out.created = made && appended && out.start == 0;
  if (appended &&
      !(FileTruncate(file, out.start) && FileWriteAtEnd(file, bytes.data(), bytes.size()))) {
    out.os_error = FileLastError();
    CutBack(out);  // whole or not at all
    return false;
  }
  if (!appended) out.os_error = FileLastError();
  return appended;
}

void TakeBackNotice(AppendedNotice& notice) {
  if (notice.file.IsOpen()) CutBack(notice);
}

NoticeCut CutCrashedAppend(const std::string& path, bool made, int64_t start,
                           const std::string& replaced, const std::string& appended) {
  AppendedNotice notice;
  OsFile& file = notice.file;
  if (!PathExists(path)) return made ? ncNothing : ncLeft;
  if (!OpenForAppend(file, path)) return ncLeft;
  int64_t length = FileLength(file);
  if (length < start || length - start > static_cast<int64_t>(appended.size())) return ncLeft;
  std::string tail(static_cast<size_t>(length - start), '\0');
  if (!tail.empty() && !FileReadAt(file, start, tail.data(), tail.size())) return ncLeft;
  if (tail == replaced && !(made && length == 0)) return ncNothing;
  if (appended.compare(0, tail.size(), tail) != 0) return ncLeft;
  notice.start = start;
  notice.replaced = replaced;
  notice.path = path;
  notice.created = made;
  return CutBack(notice) ? ncCut : ncLeft;
}
