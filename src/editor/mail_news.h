// In-game mail (MAILn.DAT) and the daily news (LOGNOW.TXT): appended to, byte for byte. The
// notices are handed to an operation, which appends them once its records are written.
#pragma once
#include <cstdint>
#include <string>

#include "editor/operation.h"
#include "runtime/files.h"

void WriteCleanSlateNotices(GameOperation& op, int type, int32_t player, const std::string& name);
void MailDivorceNotice(GameOperation& op, int32_t a, const std::string& name_a, int32_t b,
                       const std::string& name_b);
void MailWeddingNotice(GameOperation& op, int32_t a, const std::string& name_a, int32_t b,
                       const std::string& name_b);
void MailNpcWeddingNotice(GameOperation& op, int32_t player, const std::string& name,
                          const std::string& npc_name);
void NewsDivorce(GameOperation& op, const std::string& name_a, const std::string& name_b);
void NewsMarriage(GameOperation& op, const std::string& name_a, const std::string& name_b);

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
