// Appending to the game's text files that its nodes read all day (MAILn.DAT, LOGNOW.TXT), and
// taking an append back: an operation's commit, and the put-back of one a crash cut short.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/files.h"

using NoticeLines = std::vector<std::string>;

// Where an append began, so that it can be taken back; the file stays open with the writers' lock
// until this is dropped, so no other writer's entry can come after it and be cut with it.
struct AppendedNotice {
  OsFile file;
  int64_t start = 0;
  std::string replaced;  // the end-of-file mark and what followed it, overwritten by the append
  std::string path;
  bool created = false;  // by this append: removed again when it is taken back
  int os_error = 0;
};
// The lines appended whole, under the writers' lock (the same lock for reading the file's end and
// writing over its mark), or cut back to where they began (a file made for them removed). False
// with out.os_error on failure.
bool AppendNotice(const std::string& path, const NoticeLines& lines, AppendedNotice& out);
void TakeBackNotice(AppendedNotice& notice);
// An append a crash cut short, taken back while the file ends in it (or in the start of it): cut
// back to start with the replaced mark, or removed when the append made it. ncLeft: something else
// follows it now.
enum NoticeCut : uint8_t { ncNothing, ncCut, ncLeft };
NoticeCut CutCrashedAppend(const std::string& path, bool made, int64_t start,
                           const std::string& replaced, const std::string& appended);
