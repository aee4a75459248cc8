// libFuzzer targets for everything that reads bytes from outside: one table of targets, and each
// binary is this file built with ZORVAN_FUZZ_TARGET naming its entry. A broken property aborts, so
// libFuzzer keeps the input that shows it.
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "comm/caller_charset.h"
#include "comm/local_screen.h"
#include "comm/telnet_filter.h"
#include "door/drop_files.h"
#include "door/helpers.h"
#include "door/library.h"
#include "door/output.h"
#include "door/session.h"
#include "door/startup.h"
#include "editor/divorce.h"
#include "editor/editor_state.h"
#include "editor/mail_news.h"
#include "editor/npc_marriage.h"
#include "editor/operation.h"
#include "editor/player_file.h"
#include "editor/repair.h"
#include "editor/startup.h"
#include "runtime/console.h"
#include "runtime/files.h"
#include "runtime/halt.h"
#include "runtime/key_decoder.h"

#ifndef ZORVAN_FUZZ_TARGET
#error "build with -DZORVAN_FUZZ_TARGET=\"<name>\""
#endif

// Every game-file open pauses a millisecond, which would hold a file target to a thousand runs a
// second. Nothing here runs a second thread, so a sleep has nothing to wait for.
extern "C" int nanosleep(const struct timespec*, struct timespec*) { return 0; }

namespace {

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "property broken: %s\n", what);
  std::abort();
}

// The input taken apart front to back; past its end every byte reads as 0.
struct Bytes {
  const uint8_t* data;
  size_t size;
  uint8_t Byte() {
    if (size == 0) return 0;
    --size;
    return *data++;
  }
  std::string Rest() {
    std::string rest(reinterpret_cast<const char*>(data), size);
    size = 0;
    return rest;
  }
};

// One scratch directory per fuzzing process, on tmpfs when there is one (file targets run far
// faster there); the working directory too, for ZORVAN32.CFG.
std::string scratch;

void WriteBytes(const std::string& path, std::string_view bytes) {
  std::ofstream f(path, std::ios::binary);
  Check(f.write(bytes.data(), std::ssize(bytes)).good(), "scratch file written");
}

std::string ReadBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

void RemoveScratch() { std::filesystem::remove_all(scratch); }

// Nothing here may end the program: a Halt or RunError is a finding.
[[noreturn]] void HaltIsAFinding(int code) {
  std::fprintf(stderr, "Halt(%d) reached\n", code);
  std::abort();
}

void ResetLibrary() {
  ConsoleReset();
  LocalScreenReset();
  DoorOutputReset();
  DoorSessionReset();
  EditorStateReset();
  SetFileOpenMode(fmExclusive);
  game_dir = scratch;  // for the targets that read other players through PLAYER.DAT
}

void CheckCursor() {
  Check(ConsoleWhereX() >= 1 && ConsoleWhereX() <= ConsoleWindowWidth(), "cursor column in window");
  Check(ConsoleWhereY() >= 1 && ConsoleWhereY() <= ConsoleWindowHeight(), "cursor row in window");
}

// --- the targets ---

void DropFiles(Bytes in) {
  static const DropFileReader kReaders[] = {&ReadDoor32Sys, &ReadDoorSys, &ReadDorinfoDef,
                                            &ReadInfoFile};
  DropFileReader reader = kReaders[in.Byte() % 4];
  const std::string path = scratch + "DROP.SYS";
  WriteBytes(path, in.Rest());
  DoorSessionReset();
  reader(path);
  // Names come from lines before the end-of-file mark.
  Check(door_session.UserName.find_first_of("\n\x1a") == std::string::npos &&
            door_session.Alias.find_first_of("\n\x1a") == std::string::npos,
        "a name is within one line");
}

void CommandLine(Bytes in) {
  // NUL-separated parameters, as the BBS hands them over.
  const std::string text = in.Rest();
  std::vector<const char*> argv = {text.c_str()};
  for (size_t i = 0; i < text.size(); ++i)
    if (text[i] == '\0') argv.push_back(text.c_str() + i + 1);
  const DoorOptions options = DoorParseOptions(static_cast<int>(argv.size()), argv.data());
  // The editor's switch and one-character parameters are skipped wherever they stand.
  std::vector<const char*> padded = argv;
  padded.insert(padded.begin() + 1, "/DEBUG");
  padded.insert(padded.end(), {"-", "/debug"});
  const DoorOptions same = DoorParseOptions(static_cast<int>(padded.size()), padded.data());
  auto fields = [](const DoorOptions& o) {
    return std::tie(o.drop_given, o.drop_path, o.handle, o.node, o.local, o.telnet, o.win_server,
                    o.stdio, o.utf8);
  };
  Check(fields(same) == fields(options), "skipped parameters change nothing");
  if (options.local) Check(DoorChooseMode(options) == dmLocal, "-L wins");
  Check(ProgramName(argv[0]).size() <= std::strlen(argv[0]), "program name inside argv[0]");
}

void Numbers(Bytes in) {
  const std::string text = in.Rest();
  const int32_t lead = StrToIntLead(text);
  int32_t whole = 0;
  if (StrToIntWhole(text, whole)) {
    Check(lead == whole, "a whole number is also the leading number");
    Check(StrToIntOr(text, whole ^ 1) == whole, "StrToIntOr takes a whole number");
  } else {
    Check(StrToIntOr(text, 12345) == 12345, "StrToIntOr falls back");
  }
  // Text after the number never changes it; the number printed back reads as itself.
  Check(StrToIntLead(text + "x") == lead, "trailing text changes nothing");
  Check(StrToIntLead(IntToStr(lead)) == lead, "a printed number reads back");
}

std::vector<std::string> written_blocks;
void TapBlock(std::string_view bytes) { written_blocks.emplace_back(bytes); }

void ColourCodes(Bytes in) {
  ResetLibrary();
  const uint8_t how = in.Byte();
  const uint8_t column = in.Byte(), row = in.Byte();
  BacktickTranslation = (how & 8) != 0;
  const std::string text = in.Rest();
  written_blocks.clear();
  DoorSetOutputTap(&TapBlock);
  static void (*const kPrinters[])(std::string_view) = {
      &DoorPrintColour, &DoorPrintColourLn, &DoorPrintCodedLn, &DoorPrintCentredLn,
      nullptr,  // DoorPrintAt
      &DoorPrintLn,     &DoorWrite,         &DoorPrintCentred};
  if (how % 8 == 4)
    DoorPrintAt(column, row, text);
  else
    kPrinters[how % 8](text);
  DoorSetOutputTap(nullptr);
  for (const std::string& block : written_blocks)
    Check(block.size() <= kShortStringMax, "no write beyond the short-string cut");
  CheckCursor();
  const std::string plain = StripCodes(text);
  Check(StripCodes(plain).size() <= plain.size(), "stripping twice never grows");
  (void)TranslateBackticks(text);
}

void LocalAnsi(Bytes in) {
  ResetLibrary();
  const size_t split = in.Byte();
  const uint8_t column = in.Byte(), row = in.Byte(), attribute = in.Byte();
  const std::string text = in.Rest();
  const size_t cut = text.empty() ? 0 : split % (text.size() + 1);
  // A sequence split across two writes must still parse.
  LocalWriteAnsi(std::string_view(text).substr(0, cut));
  CheckCursor();
  LocalWriteAnsi(std::string_view(text).substr(cut));
  CheckCursor();
  const int x = ConsoleWhereX(), y = ConsoleWhereY();
  const uint8_t attr = ConsoleAttr();
  ConsoleWriteAt(text.substr(0, 100), column, row, attribute);
  Check(ConsoleWhereX() == x && ConsoleWhereY() == y && ConsoleAttr() == attr,
        "ConsoleWriteAt moves nothing");
}

void Telnet(Bytes in) {
  // The input received in chunks: the filter must never write past the chunk, and its replies
  // must be whole three-byte answers.
  const std::string wire = in.Rest();
  const auto* source = reinterpret_cast<const uint8_t*>(wire.data());
  const size_t n = wire.size();
  TelnetFilter filter;
  std::string replies;
  std::vector<uint8_t> data(n + 1);
  for (size_t at = 0, chunk; at < n; at += chunk) {
    chunk = std::min<size_t>(n - at, 1 + source[at] % 7);
    size_t length = 0;
    TelnetParse(filter, source + at, chunk, data.data(), length, replies);
    Check(length <= chunk, "no more data than was received");
  }
  Check(replies.size() % 3 == 0, "replies are IAC, WILL or WONT, option");
  const auto* reply = reinterpret_cast<const uint8_t*>(replies.data());
  for (size_t i = 0; i < replies.size(); i += 3)
    Check(reply[i] == kTelnetIac && (reply[i + 1] == kTelnetWill || reply[i + 1] == kTelnetWont),
          "reply shape");

  // Round trip: the writer escapes the same bytes through a socket that takes arbitrary
  // amounts, and the parser gives back exactly what was queued.
  std::string sent_wire;
  bool half_sent = false;
  size_t pos = 0, step = 0, stalls = 0;
  uint8_t escaped[24];
  while (pos < n) {
    const uint8_t knob = source[step++ % n];
    // The writer always has room for a pair.
    const size_t capacity = 2 + knob % (sizeof escaped - 1);
    size_t consumed = 0;
    const size_t length =
        TelnetEscape(source + pos, n - pos, half_sent, escaped, capacity, consumed);
    Check(length <= capacity, "escape fits its buffer");
    Check(length > 0, "escape makes progress");
    const size_t sent = stalls > 3 ? length : (knob >> 3) % (length + 1);
    stalls = sent == 0 ? stalls + 1 : 0;
    sent_wire.append(reinterpret_cast<const char*>(escaped), sent);
    const size_t done = TelnetSentBytes(source + pos, consumed, half_sent, sent);
    Check(done <= consumed, "sent bytes within what was escaped");
    pos += done;
  }
  Check(!half_sent, "no half pair owed at the end");
  TelnetFilter back;
  std::vector<uint8_t> received(sent_wire.size() + 1);
  size_t length = 0;
  std::string no_replies;
  TelnetParse(back, reinterpret_cast<const uint8_t*>(sent_wire.data()), sent_wire.size(),
              received.data(), length, no_replies);
  Check(std::string_view(reinterpret_cast<const char*>(received.data()), length) == wire,
        "what the writer escapes, the parser gives back");
  Check(no_replies.empty() && back.state == tsData, "escaped data holds no commands");
}

void Keys(Bytes in) {
  // Local terminal bytes and the caller's NUL-prefixed extended keys through the one decoder, at
  // times the input chooses; every key that comes out is whole.
  KeyDecoder decoder;
  int32_t now = 1000;
  std::string out;
  while (in.size > 0) {
    const uint8_t op = in.Byte();
    switch (op % 4) {
      case 0: decoder.PutExtended(in.Byte()); break;
      case 1: decoder.Tick(now); break;
      default: decoder.Feed(in.Byte(), now); break;
    }
    now += op >> 4;  // 0..15 ms
    while (decoder.HasOutput()) out += static_cast<char>(decoder.TakeByte());
  }
  decoder.Tick(now + 1000);
  Check(!decoder.Pending(), "a pending prefix ends once its time is up");
  while (decoder.HasOutput()) out += static_cast<char>(decoder.TakeByte());
  for (size_t i = 0; i < out.size(); ++i) {
    if (out[i] == 0) Check(++i < out.size(), "an extended key carries its scan code");
    else Check(out[i] != 127, "DEL comes out as Backspace");
  }
}

void CallerCharsets(Bytes in) {
  // The caller's bytes, whatever they are: a byte below 0x80 always comes out at once as itself
  // (Esc and keys are never held), and a character made of several bytes never decodes to one.
  const std::string wire = in.Rest();
  CallerKeyDecoder decoder(ccUtf8);
  for (const char c : wire) {
    const auto byte = static_cast<uint8_t>(c);
    const int out = decoder.Feed(byte);
    if (byte < 0x80) Check(out == byte, "a byte below 0x80 passes at once");
    else Check(out == -1 || out >= 0x80, "only the upper half comes from a sequence");
  }
  // The same bytes as CP437 text: what the door sends decodes back to itself, and after a send cut
  // anywhere, the bytes reported sent are exactly those whose encoding went out whole.
  std::string encoded;
  CallerEncode(ccUtf8, wire, encoded);
  CallerKeyDecoder back(ccUtf8);
  std::string decoded;
  for (const char c : encoded)
    if (const int out = back.Feed(static_cast<uint8_t>(c)); out >= 0)
      decoded.push_back(static_cast<char>(out));
  Check(decoded == wire, "what is encoded decodes back");
  const size_t cut = wire.empty() ? 0 : static_cast<uint8_t>(wire[0]) * encoded.size() / 255;
  const size_t sent = CallerBytesSent(ccUtf8, wire, cut);
  std::string head, one_more;
  CallerEncode(ccUtf8, std::string_view(wire).substr(0, sent), head);
  CallerEncode(ccUtf8, std::string_view(wire).substr(0, sent + 1), one_more);
  Check(head.size() <= cut && (sent == wire.size() || one_more.size() > cut),
        "bytes reported sent are those sent whole");
}

constexpr size_t kRecord = sizeof(PlayerRecord);

void MarriageFile(Bytes in) {
  ResetLibrary();
  std::string players(3 * kRecord, '\0');
  for (size_t i = 0; i < players.size(); ++i) players[i] = static_cast<char>(i * 7);
  WriteBytes(GamePath("PLAYER.DAT"), players);
  WriteBytes(scratch + "MARRAGE.DAT", in.Rest());
  // A readable file is never "unknown" nor "missing": what comes back is what was read and kept.
  const int32_t spouse = ReadQuennaSpouse();
  Check(quenna_spouse == spouse, "quenna_spouse follows the file");
  if (spouse >= 0 && spouse < 3)
    Check(std::memcmp(&work_records[7], players.data() + spouse * kRecord, kRecord) == 0,
          "the spouse's record is read whole");
}

void ConfigLine(Bytes in) {
  ResetLibrary();
  const std::string content = in.Rest();
  WriteBytes(scratch + "ZORVAN32.CFG", content);
  const std::string line = content.substr(0, content.find_first_of("\r\n\x1a")).substr(0, 80);
  const bool control = std::any_of(line.begin(), line.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
  });
  Check(LoadConfig() != control, "a line with a control character is refused, any other kept");
  Check(control ? game_dir.empty() : game_dir == line, "the game directory is the line checked");
  Check(game_dir.size() <= 80, "the game directory is cut at its maximum");
  Check(game_dir.find_first_of("\r\n\x1a") == std::string::npos, "one line only");
  (void)GamePath("PLAYER.DAT");
}

void MailNews(Bytes in) {
  ResetLibrary();
  const uint8_t which = in.Byte();
  const std::string old = in.Rest();
  const std::string name = (which & 1) ? "LOGNOW.TXT" : "MAIL1.DAT";
  // What one append adds, on a missing file.
  std::remove(GamePath(name).c_str());
  auto append = [which] {
    GameOperation op(okMarriage);
    if (which & 1) NewsMarriage(op, "Aria", "Bron");
    else MailWeddingNotice(op, 1, "Aria", 2, "Bron");
    Check(op.Commit() == frDone, "the notices were appended");
  };
  append();
  const std::string path = GamePath(name);
  const std::string entry = ReadBytes(path);
  Check(!entry.empty(), "the append wrote something");
  // A Ctrl-Z within the last 128-byte block ends the text: the append starts there.
  WriteBytes(path, old);
  append();
  const size_t tail = old.size() > 128 ? old.size() - 128 : 0;
  const size_t mark = old.find('\x1a', tail);
  const std::string kept = mark == std::string::npos ? old : old.substr(0, mark);
  Check(ReadBytes(path) == kept + entry, "old text kept up to the mark, the entry whole after it");
}

void PlayerRecordRmw(Bytes in) {
  ResetLibrary();
  const uint8_t pick = in.Byte(), edit = in.Byte();
  std::string file = in.Rest();
  if (file.size() < kRecord) file.resize(kRecord, '\0');
  WriteBytes(GamePath("PLAYER.DAT"), file);
  const size_t whole = file.size() / kRecord;
  current_player = static_cast<uint8_t>(pick % std::min<size_t>(whole, 256));
  LoadCurrentPlayer();
  Check(std::memcmp(&current_record, file.data() + current_player * kRecord, kRecord) == 0,
        "the record read is the record in the file");
  switch (edit % 4) {
    case 0: RepairStats(); break;  // saves by itself
    case 1: current_record.charm = HalveCharm(current_record.charm); break;
    case 2: current_record.name.Set("Renamed Player With A Long Name"); break;
    default: current_record.gold = static_cast<int32_t>(edit) * 1000; break;
  }
  if (edit % 4 != 0) Check(SaveCurrentPlayer(), "the save reports success");
  const std::string after = ReadBytes(GamePath("PLAYER.DAT"));
  Check(after.size() == file.size(), "the file keeps its length");
  const size_t at = current_player * kRecord;
  Check(after.compare(0, at, file, 0, at) == 0, "records before it unchanged");
  Check(after.compare(at + kRecord, std::string::npos, file, at + kRecord) == 0,
        "records after it and any partial tail unchanged");
  Check(after.compare(at, kRecord, reinterpret_cast<const char*>(&current_record), kRecord) == 0,
        "the saved record is the edited one");
  for (const ReservedStretch& s : kReservedStretches)
    Check(after.compare(at + s.at, s.length, file, at + s.at, s.length) == 0,
          "every reserved byte kept");
}

struct Target {
  std::string_view name;
  void (*run)(Bytes in);
  size_t max_input;  // longer inputs are skipped: they find nothing new and slow the run
};
const Target kTargets[] = {
    {"drop_files", &DropFiles, 4096},     {"command_line", &CommandLine, 1024},
    {"numbers", &Numbers, 256},           {"colour_codes", &ColourCodes, 2048},
    {"local_ansi", &LocalAnsi, 4096},     {"telnet", &Telnet, 4096},
    {"keys", &Keys, 4096},                {"marriage_file", &MarriageFile, 512},
    {"config_line", &ConfigLine, 512},    {"mail_news", &MailNews, 2048},
    {"player_record", &PlayerRecordRmw, 8 * kRecord + 2},
    {"caller_charset", &CallerCharsets, 1024},
};

const Target* chosen = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  for (const Target& t : kTargets)
    if (t.name == ZORVAN_FUZZ_TARGET) chosen = &t;
  Check(chosen != nullptr, "no such target");
  char pattern[] = "/dev/shm/zorvan-fuzz-XXXXXX";
  char fallback[] = "/tmp/zorvan-fuzz-XXXXXX";
  const char* dir = access("/dev/shm", W_OK) == 0 ? mkdtemp(pattern) : nullptr;
  if (dir == nullptr) dir = mkdtemp(fallback);
  Check(dir != nullptr && chdir(dir) == 0, "no scratch directory");
  scratch = std::string(dir) + "/";
  std::atexit(&RemoveScratch);
  SetHaltHook(&HaltIsAFinding);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > chosen->max_input) return -1;
  chosen->run(Bytes{data, size});
  return 0;
}
