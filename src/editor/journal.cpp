#include "editor/journal.h"

#include <algorithm>
#include <cstdio>
#include <functional>

#include "door/helpers.h"
#include "door/session.h"
#include "editor/editor_state.h"
#include "editor/player_file.h"
#include "runtime/clock.h"
#include "runtime/cp437.h"
#include "runtime/files.h"

namespace {

// The journal is read backwards in pieces of this size, so neither numbering nor reading needs more
// memory for a longer journal.
constexpr int64_t kReadPiece = 64 * 1024;

std::string Hex(uint8_t byte) {
  char text[8];
  std::snprintf(text, sizeof text, "\\x%02X", byte);
  return text;
}

// One whole journal line: ten columns, the fourth an operation number.
bool ParseJournalLine(std::string_view text, JournalLine& line) {
  if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
  const std::vector<std::string> parts = JournalColumns(text);
  int32_t op = 0;
  if (parts.size() != 10 || !StrToIntWhole(parts[3], op) || op <= 0) return false;
  line = {parts[0], parts[1], parts[2], op, parts[4], parts[5], parts[6], parts[7], parts[8],
          parts[9]};
  return true;
}

// The text of each line ending before end, newest first, until visit returns false. The bytes
// after the last newline (a torn write) and lines longer than kJournalLineMax are passed over.
bool VisitLinesBackward(OsFile& file, int64_t end,
                        const std::function<bool(std::string_view)>& visit) {
  std::string piece, line;  // line: the end of a line whose start lies further back
  bool whole = false, over_long = false;
  for (int64_t at = end; at > 0;) {
    int64_t start = std::max<int64_t>(0, at - kReadPiece);
    piece.resize(static_cast<size_t>(at - start));
    if (!FileReadAt(file, start, piece.data(), piece.size())) return false;
    piece += line;
    at = start;
    size_t stop = piece.size();
    for (size_t nl; stop > 0 && (nl = piece.rfind('\n', stop - 1)) != std::string::npos;
         stop = nl) {
      std::string_view text(piece.data() + nl + 1, stop - nl - 1);
      if (whole && !over_long && text.size() <= kJournalLineMax && !visit(text)) return true;
      whole = true;
      over_long = false;
    }
    line.assign(piece, 0, stop);
    if (line.size() > kJournalLineMax) over_long = true;
    if (over_long) line.clear();
  }
  if (whole && !over_long) visit(line);
  return true;
}

// The last operation number in the journal before end (0: none), -1 when it cannot be read.
int64_t LastOperationNumber(OsFile& file, int64_t end) {
  int64_t last = 0;
  bool read = VisitLinesBackward(file, end, [&](std::string_view text) {
    JournalLine line;
    if (ParseJournalLine(text, line)) last = line.op;
    return last == 0;
  });
  return read ? last : -1;
}

std::string NodeText() {
  return door_session.Kind == ckLocal ? "local" : std::to_string(door_session.Node);
}

// A caller the BBS named by options alone brings no name, and is still not the sysop.
std::string WhoText() {
  if (!door_session.UserName.empty()) return JournalText(door_session.UserName);
  return DoorIsLocal() ? "sysop" : "caller";
}

}  // namespace

std::vector<std::string> JournalColumns(std::string_view line) {
  std::vector<std::string> columns;
  for (size_t at = 0;;) {
    size_t tab = line.find('\t', at);
    columns.emplace_back(line.substr(at, tab == std::string_view::npos ? tab : tab - at));
    if (tab == std::string_view::npos) return columns;
    at = tab + 1;
  }
}

std::string JournalPath() { return GameFilePath("", "ZORVAN32.LOG"); }

std::string JournalText(const std::string& cp437) {
  auto plain = [](char c) {
    auto byte = static_cast<uint8_t>(c);
    return byte >= 0x20 && byte < 0x7F && byte != '\\';
  };
  if (std::all_of(cp437.begin(), cp437.end(), plain)) return cp437;  // the hex columns, mostly
  std::string out;
  for (char c : cp437) {
    auto byte = static_cast<uint8_t>(c);
    if (plain(c))
      out += c;
    else if (byte >= 0x80)
      AppendUtf8(out, Cp437ToUnicode(byte));
    else
      out += Hex(byte);
  }
  return out;
}

bool VisitJournal(const std::string& path, const std::function<bool(const JournalLine&)>& visit) {
  if (!PathExists(path)) return true;
  OsFile file;
  {
    OpenModeScope shared(fmShared);
    if (!FileOpen(file, path, faRead)) return false;
  }
  int64_t length = FileLength(file);
  return length >= 0 && VisitLinesBackward(file, length, [&](std::string_view text) {
           JournalLine line;
           return !ParseJournalLine(text, line) || visit(line);
         });
}

std::string JournalHex(std::string_view bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex(bytes.size() * 2, '0');
  for (size_t i = 0; i < bytes.size(); ++i) {
    hex[2 * i] = kDigits[static_cast<uint8_t>(bytes[i]) >> 4];
    hex[2 * i + 1] = kDigits[static_cast<uint8_t>(bytes[i]) & 15];
  }
  return hex;
}

bool JournalUnhex(std::string_view hex, std::string& bytes) {
  auto digit = [](char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
  };
  if (hex.size() % 2 != 0) return false;
  bytes.clear();
  for (size_t i = 0; i < hex.size(); i += 2) {
    int high = digit(hex[i]), low = digit(hex[i + 1]);
    if (high < 0 || low < 0) return false;
    bytes += static_cast<char>(high * 16 + low);
  }
  return true;
}

namespace {

// Kept open between operations, so that an append costs a lock, a look at the length, one write
// and the unlock; the tail is read only when another writer appended since our last line.
bool OpenJournal(JournalHandle& j) {
  if (j.file.IsOpen() && (j.path != editor_state.journal_path || FileIsUnlinked(j.file)))
    j = JournalHandle{};
  if (j.file.IsOpen()) return true;
  OpenModeScope shared(fmShared);
  if (!FileOpen(j.file, editor_state.journal_path, faAppend, /*create=*/true)) return false;
  j.path = editor_state.journal_path;
  return true;
}

// Each line after its operation number; made before the lock, which only the number needs.
std::string LineTail(const char* operation, const JournalEntry& e) {
  std::string tail = "\t";
  for (const std::string& column :
       {std::string(operation), e.player < 0 ? std::string("-") : std::to_string(e.player),
        JournalText(e.name), e.field, JournalText(e.old_value), JournalText(e.new_value)})
    tail.append(column).append(1, '\t');
  tail.back() = '\n';
  return tail;
}

}  // namespace

bool JournalAppend(const char* operation, const std::vector<JournalEntry>& entries) {
  if (entries.empty() || editor_state.journal_path.empty()) return true;
  JournalHandle& j = editor_state.journal_handle;
  if (!OpenJournal(j)) return false;
  const std::string stamp = LocalTimestampText() + "\t" + NodeText() + "\t" + WhoText() + "\t";
  std::vector<std::string> tails;
  for (const JournalEntry& e : entries) tails.push_back(LineTail(operation, e));
  if (RetryWhileHeld(editor_state.journal_path, [&] { return FileLockOurs(j.file); }) != frDone)
    return false;
  int64_t length = FileLength(j.file);
  std::string lines;
  bool ours = length == j.end && j.end >= 0;  // nobody wrote since our own whole line
  int64_t last = ours ? j.last_op : length < 0 ? -1 : LastOperationNumber(j.file, length);
  char end = '\n';
  bool written = last >= 0 && (ours || length == 0 || FileReadAt(j.file, length - 1, &end, 1));
  if (written) {
    if (end != '\n') lines = "\n";  // a torn line stays alone rather than swallow ours
    const std::string head = stamp + std::to_string(last + 1);
    for (const std::string& tail : tails) lines.append(head).append(tail);
    written = FileWriteAtEnd(j.file, lines.data(), lines.size());
    // Whole or not at all: what did get out is cut off again (the write's error stays).
    if (!written) FileTruncate(j.file, length);
  }
  j.end = written ? length + static_cast<int64_t>(lines.size()) : -1;
  j.last_op = last + 1;
  FileUnlockOurs(j.file);
  return written;
}
