#include "editor/mail_news.h"

#include <algorithm>
#include <initializer_list>
#include <vector>

#include "editor/player_file.h"
#include "runtime/files.h"
#include "runtime/halt.h"

namespace {

using Lines = std::vector<std::string>;

// What a failed write does: the Clean Slate notices must reach the player before the reset is
// saved, so they stop the program; a lost marriage notice must not stop the marriage change.
enum class OnFailure { kRunError, kSkip };

const std::string kMailSeparator = "`2-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-";
const std::string kNewsSeparator = "                 `#-=`%-=#-=`%-=#-=`%-=#-=`%-=#-=`%-= ";

// A text file may end in a Ctrl-Z mark inside its last 128-byte block (the old DOS convention);
// appending overwrites the mark and whatever follows it, so the game's readers never stop early.
constexpr int64_t kEofBlock = 128;
constexpr char kCtrlZ = 26;

constexpr int64_t kNoMark = -1;
constexpr int64_t kReadError = -2;

// Where the first Ctrl-Z of the file's last block lies; kNoMark or kReadError.
int64_t EofMarkOffset(OsFile& file) {
  int64_t length = FileLength(file);
  if (length < 0) return kReadError;
  int64_t start = std::max<int64_t>(0, length - kEofBlock);
  std::string tail(static_cast<size_t>(length - start), '\0');
  if (!tail.empty() && !FileReadAt(file, start, tail.data(), tail.size())) return kReadError;
  size_t mark = tail.find(kCtrlZ);
  return mark == std::string::npos ? kNoMark : start + static_cast<int64_t>(mark);
}

// Without a mark the system appends, so a game node appending at the same moment keeps its line;
// a mark is overwritten in place.
bool AppendBytes(const std::string& path, const std::string& bytes) {
  OsFile file;
  if (!FileOpen(file, path, faReadWrite, /*create=*/true)) return false;
  int64_t mark = EofMarkOffset(file);
  if (mark == kReadError) return false;
  if (mark == kNoMark) return FileAppend(path, bytes.data(), bytes.size());
  return FileTruncate(file, mark) && FileWriteAt(file, mark, bytes.data(), bytes.size());
}

// False on failure, with the OS error in os_error.
bool TryAppend(const std::string& path, const Lines& lines, int& os_error) {
  std::string bytes;
  for (const auto& line : lines) bytes += line + "\r\n";
  // No exclusive open: the game's nodes read these files all day, and a node that merely has
  // one open must not make a Clean Slate end the program.
  uint8_t mode = CurrentFileOpenMode();
  SetFileOpenMode(fmShared);
  bool appended = AppendBytes(path, bytes);
  SetFileOpenMode(mode);
  if (!appended) os_error = FileLastError();
  return appended;
}

// One message or entry: appended to the game file of that name in one opening.
void AppendLines(const std::string& file_name, const Lines& lines, OnFailure on_failure) {
  std::string path = GamePath(file_name);
  int os_error = 0;
  if (TryAppend(path, lines, os_error)) return;
  if (on_failure == OnFailure::kRunError) RunError(path, os_error);
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

void WriteCleanSlateNotices(int type, int32_t player, const std::string& name) {
  AppendLines(CleanSlateMailName(player), CleanSlateMail(type, name), OnFailure::kRunError);
  AppendLines(kNewsName, CleanSlateNews(type, name), OnFailure::kRunError);
}

void MailDivorceNotice(int32_t a, const std::string& name_a, int32_t b, const std::string& name_b) {
  AppendLines(NoticeMailName(a), DivorceNotice(name_a, name_b), OnFailure::kSkip);
  // The game's characters have no mail file.
  if (!IsNpcName(name_b))
    AppendLines(NoticeMailName(b), DivorceNotice(name_b, name_a), OnFailure::kSkip);
}

void MailWeddingNotice(int32_t a, const std::string& name_a, int32_t b, const std::string& name_b) {
  AppendLines(NoticeMailName(a),
              Notice(Attention(name_a, "           [Wedding Notice] "), WeddingBody(name_b)),
              OnFailure::kSkip);
  // B's copy is not an exact mirror of A's (one more blank before the subject, a bare colour code
  // as its last line): the game's mail has always carried it so, and readers may rely on it.
  AppendLines(NoticeMailName(b),
              Notice(Attention(name_b, "            [Wedding Notice] "), WeddingBody(name_a), "`2"),
              OnFailure::kSkip);
}

void MailNpcWeddingNotice(int32_t player, const std::string& name, const std::string& npc_name) {
  std::string header = Attention(name, "           [NPC Wedding Notice] ");
  std::string body =
      "  `#Your sysop has Married you to `@" + npc_name + " `#today.  Congratulations.";
  AppendLines(NoticeMailName(player), Notice(header, body), OnFailure::kSkip);
}

void NewsDivorce(const std::string& name_a, const std::string& name_b) {
  AppendLines(kNewsName,
              {"  `#" + name_a + " `0was `!Divorced from `#" + name_b + " `0today by the Sysop.",
               kNewsSeparator},
              OnFailure::kSkip);
}

void NewsMarriage(const std::string& name_a, const std::string& name_b) {
  AppendLines(kNewsName,
              {"  `$" + name_a + " `0was `$Married to " + name_b + " `0today by the Sysop.",
               kNewsSeparator},
              OnFailure::kSkip);
}
