// Each drop-file format is a table of line numbers and what the line sets; one procedure walks it.
#include "door/drop_files.h"

#include <algorithm>
#include <limits>
#include <span>
#include <string_view>
#include <vector>

#include "door/helpers.h"
#include "door/session.h"
#include "runtime/files.h"
#include "runtime/regular_files.h"

namespace {

using LineAction = void (*)(std::string_view line);

struct DropLine {
  int line;  // 1-based
  LineAction action;
};

DoorSession& S() { return door_session; }

int32_t Saturate(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

// A drop file is written for this one call, so its time line is the caller's real allowance; when
// it is missing or unreadable the caller still gets the hour a local session has, not an instant
// end.
int32_t TimeFromLine(std::string_view line, int32_t seconds_per_unit) {
  int32_t value = 0;
  if (!StrToIntWhole(line, value)) return kDefaultTimeLimit;
  return Saturate(int64_t{value} * seconds_per_unit);
}

// DOOR32.SYS gives the minutes left, but a BBS on Linux writes seconds there (252 minutes as
// 15120), which read as minutes kept its caller for 252 hours. No call is granted more than a day,
// so a value above a day's 1440 minutes cannot be minutes of one call and is taken as seconds. At
// or below the bound the two cannot be told apart and the format's minutes stand (such a BBS's
// caller with 24 minutes or less left gets 60 times that).
// A BBS known to write seconds always, named at the start of line 4, is believed below the bound
// too: read as minutes, its 420 seconds would be 7 hours.
constexpr int32_t kMinutesPerDay = 1440;
constexpr std::string_view kSecondsBbses[] = {"WWIV"};
struct DropFileState {
  bool door32_time_in_seconds = false;  // from line 4, which the walk reads before line 9
};
DropFileState drop;

bool BbsWritesSeconds(std::string_view line) {
  const std::string upper = UpperStr(line);
  for (std::string_view name : kSecondsBbses)
    if (upper.starts_with(name)) return true;
  return false;
}

int32_t Door32TimeFromLine(std::string_view line) {
  int32_t value = 0;
  if (StrToIntWhole(line, value) && (drop.door32_time_in_seconds || value > kMinutesPerDay))
    return TimeFromLine(line, 1);
  return TimeFromLine(line, 60);
}

// The BBS's 1-based record position as our 0-based one.
int32_t RecordFromLine(std::string_view line) { return Saturate(int64_t{StrToIntOr(line, 1)} - 1); }

// A serial port number: only a real port makes the caller a serial one.
void SetPort(int32_t port) {
  S().CommHandle = port;
  if (port > 0) S().Kind = ckSerial;
}

std::string_view Mid(std::string_view text, size_t from, size_t count) {
  return from < text.size() ? text.substr(from, count) : std::string_view{};
}

// A drop file is a few hundred bytes. A longer one is no drop file the BBS wrote for this call: it
// is taken for one that cannot be opened, not held in memory.
constexpr int64_t kDropFileMax = 64 * 1024;

// Lines end in CR LF or LF (BBSes on Linux write LF); a DOS end-of-file mark ends the text.
bool ReadDropLines(const std::string& path, std::vector<std::string>& lines) {
  // The BBS wrote this file and may still hold it: a shared open. A pipe or a device put in its
  // place is refused at once, never waited on (as FileOpen refuses every such file).
  OsFile file;
  {
    OpenModeScope shared(fmShared);
    if (!FileOpen(file, path, faRead)) return false;
  }
  const int64_t length = FileLength(file);
  std::string bytes;
  if (length < 0 || length > kDropFileMax || !FileReadHead(file, kDropFileMax, bytes)) return false;
  bytes = bytes.substr(0, bytes.find('\x1a'));
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    std::string line = bytes.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return true;
}

// A line the file does not have reads as an empty one.
void WalkDropFile(const std::string& path, std::span<const DropLine> format) {
  std::vector<std::string> lines;
  if (!ReadDropLines(path, lines)) return;
  for (const DropLine& entry : format) {
    const size_t index = static_cast<size_t>(entry.line - 1);
    entry.action(index < lines.size() ? std::string_view(lines[index]) : std::string_view{});
  }
}

const DropLine kDoor32Sys[] = {
    {1, [](std::string_view l) { S().Kind = static_cast<ChannelKind>(StrToIntOr(l, 0) & 0xFF); }},
    {2, [](std::string_view l) { S().CommHandle = StrToIntOr(l, -1); }},
    {4, [](std::string_view l) { drop.door32_time_in_seconds = BbsWritesSeconds(l); }},
    {5, [](std::string_view l) { S().UserRecord = RecordFromLine(l); }},
    {6, [](std::string_view l) { S().UserName = l; }},
    {7, [](std::string_view l) { S().Alias = l; }},
    {8, [](std::string_view l) { S().SecurityLevel = StrToIntOr(l, 0); }},
    {9, [](std::string_view l) { S().TimeLimit = Door32TimeFromLine(l); }},
    {10, [](std::string_view l) { S().Ansi = StrToIntOr(l, 1) != 0; }},
    {11, [](std::string_view l) { S().Node = StrToIntOr(l, 0); }},
};

// Line 1 reads "COMn:"; the port number stands between "COM" and the colon.
const DropLine kDoorSys[] = {
    {1,
     [](std::string_view l) {
       SetPort(StrToIntOr(l.size() > 4 ? Mid(l, 3, l.size() - 4) : std::string_view{}, 0));
     }},
    {4, [](std::string_view l) { S().Node = StrToIntOr(l, 0); }},
    {10, [](std::string_view l) { S().UserName = l; }},
    {15, [](std::string_view l) { S().SecurityLevel = StrToIntOr(l, 0); }},
    {18, [](std::string_view l) { S().TimeLimit = TimeFromLine(l, 1); }},
    {20, [](std::string_view l) { S().Ansi = UpperStr(l) == "GR"; }},
    {26, [](std::string_view l) { S().UserRecord = RecordFromLine(l); }},
    {36, [](std::string_view l) { S().Alias = l; }},
};

const DropLine kDorinfoDef[] = {
    {4, [](std::string_view l) { SetPort(StrToIntOr(Mid(l, 3, std::string_view::npos), 0)); }},
    {7, [](std::string_view l) { S().Alias = l; }},
    {8,
     [](std::string_view l) {
       S().UserName = S().Alias;
       if (!l.empty()) S().UserName.append(" ").append(l);
     }},
    {10, [](std::string_view l) { S().Ansi = StrToIntOr(l, 1) == 1; }},
    {11, [](std::string_view l) { S().SecurityLevel = StrToIntOr(l, 0); }},
    {12, [](std::string_view l) { S().TimeLimit = TimeFromLine(l, 60); }},
};

struct ConnectionWord {
  std::string_view word;
  ChannelKind kind;
};
const ConnectionWord kConnectionWords[] = {
    {"TELNET", ckTelnet}, {"WC5", ckDoor32}, {"LOCAL", ckLocal}};

const DropLine kInfoFile[] = {
    {1, [](std::string_view l) { S().UserRecord = StrToIntOr(l, 0); }},
    {2, [](std::string_view l) { S().Ansi = StrToIntOr(l, 3) == 3; }},
    {4, [](std::string_view l) { S().FairyOption = UpperStr(l) == "FAIRY YES"; }},
    {5, [](std::string_view l) { S().TimeLimit = TimeFromLine(l, 60); }},
    {6, [](std::string_view l) { S().Alias = l; }},
    {7, [](std::string_view l) { S().UserName = l; }},
    {8,
     [](std::string_view l) {
       if (!l.empty()) S().UserName.append(" ").append(l);
     }},
    {9, [](std::string_view l) { SetPort(StrToIntOr(l, 0)); }},
    {12,
     [](std::string_view l) {
       const std::string word = UpperStr(l);
       for (const ConnectionWord& entry : kConnectionWords)
         if (word == entry.word) S().Kind = entry.kind;
     }},
    {14, [](std::string_view l) { S().CleanMode = UpperStr(l) == "CLEAN MODE ON"; }},
};

// First match wins: a path may hold more than one of the names (a directory called INFO.D, say).
struct DropFileName {
  std::string_view name;
  DropFileReader reader;
  int connection_line;  // the line that says whether the caller is on a port, a socket or local
  std::string_view shown;  // as a sysop would write it
};
const DropFileName kDropFileNames[] = {
    {"DOOR32.SYS", &ReadDoor32Sys, 1, "DOOR32.SYS"},
    {"DOOR.SYS", &ReadDoorSys, 1, "DOOR.SYS"},
    {"DORINFO", &ReadDorinfoDef, 4, "DORINFOn.DEF"},
    {"INFO.", &ReadInfoFile, 12, "INFO.n"},
};

const DropFileName* DropFileNameFor(const std::string& path) {
  if (!PathIsRegularFile(path)) return nullptr;
  const std::string upper = UpperStr(path);
  for (const DropFileName& entry : kDropFileNames)
    if (upper.find(entry.name) != std::string::npos) return &entry;
  return nullptr;
}

// A line as a log may show it: control characters as "?", and not more than a log line holds.
std::string LoggableLine(std::string_view line) {
  std::string out(line.substr(0, 40));
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  return out;
}

}  // namespace

void DropFilesReset() { drop = {}; }

void ReadDoor32Sys(const std::string& path) { WalkDropFile(path, kDoor32Sys); }
void ReadDoorSys(const std::string& path) { WalkDropFile(path, kDoorSys); }
void ReadDorinfoDef(const std::string& path) { WalkDropFile(path, kDorinfoDef); }
void ReadInfoFile(const std::string& path) { WalkDropFile(path, kInfoFile); }

DropFileReader DropFileReaderFor(const std::string& path) {
  const DropFileName* entry = DropFileNameFor(path);
  return entry != nullptr ? entry->reader : nullptr;
}

std::string DropFileNotFoundDetail(const std::string& path) {
  if (!PathIsRegularFile(path) || DropFileNameFor(path) != nullptr) return "";
  std::string names;
  for (const DropFileName& entry : kDropFileNames)
    names.append(names.empty() ? "" : ", ").append(entry.shown);
  return " (the file is there, but its name is none the door knows: " + names + ")";
}

std::string DropFileConnectionLine(const std::string& path) {
  const std::string file_name = BaseName(path);
  const DropFileName* entry = DropFileNameFor(path);
  std::vector<std::string> lines;
  if (entry == nullptr || !ReadDropLines(path, lines)) return file_name + " cannot be read";
  const auto line = [&lines](int n) {
    return static_cast<size_t>(n) <= lines.size() ? lines[static_cast<size_t>(n - 1)] : "";
  };
  int n = entry->connection_line;
  // INFO.n: its port line decides unless the connection word says LOCAL.
  if (entry->reader == &ReadInfoFile && UpperStr(line(n)) != "LOCAL") n = 9;
  return file_name + " line " + std::to_string(n) + " says \"" + LoggableLine(line(n)) + "\"";
}
