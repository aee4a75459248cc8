#include "editor/journal.h"

#include <algorithm>
#include <cstdio>

#include "door/helpers.h"
#include "door/session.h"
#include "editor/editor_state.h"
#include "editor/player_file.h"
#include "runtime/clock.h"
#include "runtime/cp437.h"
#include "runtime/files.h"

namespace {

// Enough of the journal's end to hold its last whole line.
constexpr int64_t kTailBytes = 8192;

std::string Hex(uint8_t byte) {
  char text[8];
  std::snprintf(text, sizeof text, "\\x%02X", byte);
  return text;
}

// The operation number of the last whole line in tail, 0 when none reads as one.
int64_t LastOperationNumber(const std::string& tail) {
  size_t end = tail.rfind('\n');
  while (end != std::string::npos && end > 0) {
    size_t begin = tail.rfind('\n', end - 1);
    begin = begin == std::string::npos ? 0 : begin + 1;
    std::string line = tail.substr(begin, end - begin);
    // The fourth tab-separated field.
    size_t at = 0;
    for (int tab = 0; tab < 3 && at != std::string::npos; ++tab) {
      at = line.find('\t', at);
      if (at != std::string::npos) ++at;
    }
    if (at != std::string::npos) {
      int32_t number = 0;
      if (StrToIntWhole(line.substr(at, line.find('\t', at) - at), number) && number > 0)
        return number;
    }
    if (begin == 0) break;
    end = begin - 1;
  }
  return 0;
}

int64_t NextOperationNumber(OsFile& file) {
  int64_t length = FileLength(file);
  if (length <= 0) return 1;
  int64_t start = std::max<int64_t>(0, length - kTailBytes);
  std::string tail(static_cast<size_t>(length - start), '\0');
  if (!FileReadAt(file, start, tail.data(), tail.size())) return 1;
  return LastOperationNumber(tail) + 1;
}

std::string NodeText() {
  return door_session.Kind == ckLocal ? "local" : std::to_string(door_session.Node);
}

std::string WhoText() {
  return door_session.UserName.empty() ? "sysop" : JournalText(door_session.UserName);
}

}  // namespace

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

bool ReadJournal(const std::string& path, std::vector<JournalLine>& lines) {
  lines.clear();
  if (!PathExists(path)) return true;
  OsFile file;
  std::string bytes;
  {
    OpenModeScope shared(fmShared);
    if (!FileOpen(file, path, faRead)) return false;
  }
  int64_t length = FileLength(file);
  if (length < 0 || !FileReadHead(file, static_cast<size_t>(length), bytes)) return false;
  size_t begin = 0;
  for (size_t end = bytes.find('\n'); end != std::string::npos; end = bytes.find('\n', begin)) {
    std::string text = bytes.substr(begin, end - begin);
    begin = end + 1;
    if (!text.empty() && text.back() == '\r') text.pop_back();
    std::vector<std::string> parts;
    for (size_t at = 0;;) {
      size_t tab = text.find('\t', at);
      parts.push_back(text.substr(at, tab == std::string::npos ? std::string::npos : tab - at));
      if (tab == std::string::npos) break;
      at = tab + 1;
    }
    int32_t op = 0;
    if (parts.size() != 10 || !StrToIntWhole(parts[3], op) || op <= 0) continue;
    lines.push_back({parts[0], parts[1], parts[2], op, parts[4], parts[5], parts[6], parts[7],
                     parts[8], parts[9]});
  }
  return true;
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
  if (j.file.IsOpen() && (j.path != journal_path || FileIsUnlinked(j.file))) j = JournalHandle{};
  if (j.file.IsOpen()) return true;
  OpenModeScope shared(fmShared);
  if (!FileOpen(j.file, journal_path, faAppend, /*create=*/true)) return false;
  j.path = journal_path;
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
  if (entries.empty() || journal_path.empty()) return true;
  JournalHandle& j = journal_handle;
  if (!OpenJournal(j)) return false;
  const std::string stamp = LocalTimestampText() + "\t" + NodeText() + "\t" + WhoText() + "\t";
  std::vector<std::string> tails;
  for (const JournalEntry& e : entries) tails.push_back(LineTail(operation, e));
  if (RetryWhileHeld(journal_path, [&] { return FileLockOurs(j.file); }) != frDone) return false;
  int64_t length = FileLength(j.file);
  int64_t op = length == j.end && j.end >= 0 ? j.last_op + 1 : NextOperationNumber(j.file);
  const std::string head = stamp + std::to_string(op);
  std::string lines;
  for (const std::string& tail : tails) lines.append(head).append(tail);
  bool written = FileWriteAtEnd(j.file, lines.data(), lines.size());
  j.end = written && length >= 0 ? length + static_cast<int64_t>(lines.size()) : -1;
  j.last_op = op;
  FileUnlockOurs(j.file);
  return written;
}
