#include "editor/mail_news.h"

#include <algorithm>
#include <initializer_list>
#include <vector>

#include "editor/player_file.h"
#include "editor/rollback.h"
#include "runtime/files.h"
#include "runtime/halt.h"

namespace {

using Lines = NoticeLines;

const std::string kMailSeparator = "`2-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-";
const std::string kNewsSeparator = "                 `#-=`%-=#-=`%-=#-=`%-=#-=`%-=#-=`%-= ";

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

// The file back to what it held before an append that began at start.
bool CutBack(OsFile& file, int64_t start, const std::string& replaced) {
  return FileTruncate(file, start) &&
         (replaced.empty() || FileWriteAtEnd(file, replaced.data(), replaced.size()));
}

// The same for our own append: a file the append made goes (while the lock is held, so another
// writer of ours that waits for it sees it gone and makes it anew).
void CutBack(AppendedNotice& notice) {
  OsFile& file = notice.file;
  CutBack(file, notice.start, notice.replaced);
  if (notice.created && FileLength(file) == 0) FileRemove(notice.path);
}

// The Clean Slate writer spells the name in capitals, the marriage writers in small letters; both
// reach the same file (GamePath finds an existing one whatever its case).
std::string CleanSlateMailName(int32_t player) { return "MAIL" + std::to_string(player) + ".DAT"; }
std::string NoticeMailName(int32_t player) { return "mail" + std::to_string(player) + ".dat"; }
const std::string kNewsName = "LOGNOW.TXT";

Lines Concat(std::initializer_list<Lines> parts) {
  Lines all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

const Lines kEntryLevelBody = {
    "  `#As punishment for cheating and/or bullying others in this,",
    "  `#VARN Game, your stats have been RESET to the first-time",
    "  `#game entry settings.",
};
const Lines kPostDragonBody = {
    "  `#As punishment for cheating and/or bullying others in this,",
    "  `#VARN Game, your stats have been RESET to the post-dragon",
    "  `#kill settings.  You retain some earned stats, but do not",
    "  `#receive credit for a game win.",
};
const Lines kCleanSlateClosing = {
    "`2",
    "  `%You were warned repeatedly to stop your bad behavior",
    "  `%and you failed to obey.  `@The Sysop.",
    kMailSeparator,
    " ",
};

Lines CleanSlateMail(int type, const std::string& name) {
  bool entry_level = type == 1;
  std::string header = "  `%Attention: `$" + name + ":  {Clean Slate Message #" +
                       (entry_level ? "1" : "2") + "]";
  return Concat({{header}, entry_level ? kEntryLevelBody : kPostDragonBody, kCleanSlateClosing});
}

Lines CleanSlateNews(int type, const std::string& name) {
  std::string kind = type == 1 ? "an `9Entry-Level" : "a `9Post-Dragon";
  return {
      "  `!" + name + " `0received " + kind + " `@\"Clean Slate\" `0reset today",
      "  `0from the Sysop, as `@punishment `0for abusing the VARN game.",
      kNewsSeparator,
  };
}

// A marriage-office notice: blank, header, one line of news, separator, last line.
Lines Notice(const std::string& header, const std::string& body, const std::string& last = " ") {
  return {" ", header, body, kMailSeparator, last};
}

std::string Attention(const std::string& name, const std::string& subject) {
  return "  `%Attention: `$" + name + ":" + subject;
}

Lines DivorceNotice(const std::string& to, const std::string& other) {
  return Notice(Attention(to, "           [Divorce Notice] "),
                "  `#Your marriage to `@" + other + " `#has been dissolved by your sysop.");
}

std::string WeddingBody(const std::string& other) {
  return "  `#Your sysop has Married you to `@" + other + " `#today. Congratulations.";
}

bool IsNpcName(const std::string& name) { return name == "Quenna" || name == "Dask Able"; }

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
  OsFile file;
  if (!PathExists(path)) return made ? ncNothing : ncLeft;
  if (!OpenForAppend(file, path)) return ncLeft;
  int64_t length = FileLength(file);
  if (length < start || length - start > static_cast<int64_t>(appended.size())) return ncLeft;
  std::string tail(static_cast<size_t>(length - start), '\0');
  if (!tail.empty() && !FileReadAt(file, start, tail.data(), tail.size())) return ncLeft;
  if (tail == replaced && !(made && length == 0)) return ncNothing;
  if (appended.compare(0, tail.size(), tail) != 0) return ncLeft;
  if (!CutBack(file, start, replaced)) return ncLeft;
  FileClose(file);
  if (made) FileRemove(path);
  return ncCut;
}

void WriteCleanSlateNotices(GameOperation& op, int type, int32_t player, const std::string& name) {
  op.Notice(CleanSlateMailName(player), CleanSlateMail(type, name));
  op.Notice(kNewsName, CleanSlateNews(type, name));
}

void MailDivorceNotice(GameOperation& op, int32_t a, const std::string& name_a, int32_t b,
                       const std::string& name_b) {
  op.Notice(NoticeMailName(a), DivorceNotice(name_a, name_b));
  // The game's characters have no mail file.
  if (!IsNpcName(name_b))
    op.Notice(NoticeMailName(b), DivorceNotice(name_b, name_a));
}

void MailWeddingNotice(GameOperation& op, int32_t a, const std::string& name_a, int32_t b,
                       const std::string& name_b) {
  op.Notice(NoticeMailName(a),
            Notice(Attention(name_a, "           [Wedding Notice] "), WeddingBody(name_b)));
  // B's copy is not an exact mirror of A's (one more blank before the subject, a bare colour code
  // as its last line): the game's mail has always carried it so, and readers may rely on it.
  op.Notice(NoticeMailName(b),
            Notice(Attention(name_b, "            [Wedding Notice] "), WeddingBody(name_a), "`2"));
}

void MailNpcWeddingNotice(GameOperation& op, int32_t player, const std::string& name,
                          const std::string& npc_name) {
  std::string header = Attention(name, "           [NPC Wedding Notice] ");
  std::string body =
      "  `#Your sysop has Married you to `@" + npc_name + " `#today.  Congratulations.";
  op.Notice(NoticeMailName(player), Notice(header, body));
}

void NewsDivorce(GameOperation& op, const std::string& name_a, const std::string& name_b) {
  op.Notice(kNewsName,
            {"  `#" + name_a + " `0was `!Divorced from `#" + name_b + " `0today by the Sysop.",
             kNewsSeparator});
}

void NewsMarriage(GameOperation& op, const std::string& name_a, const std::string& name_b) {
  op.Notice(kNewsName,
            {"  `$" + name_a + " `0was `$Married to " + name_b + " `0today by the Sysop.",
             kNewsSeparator});
}
