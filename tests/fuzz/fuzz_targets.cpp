// libFuzzer targets for everything that reads bytes from outside: one table of targets, and each
// binary is this file built with ZORVAN_FUZZ_TARGET naming its entry. A broken property aborts, so
// libFuzzer keeps the input that shows it.
#include <time.h>
#include <unistd.h>

#include <algorithm>
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
#include "editor/player_file.h"
#include "editor/repair.h"
#include "editor/startup.h"
#include "runtime/console.h"
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

// The input taken apart front to back; past its end every byte reads as 0. A file target gets its
// choice bytes, and the rest as the file the scaffold wrote (at path).
struct Input {
  const uint8_t* data;
  size_t size;
  uint8_t choice[2] = {};
  std::string file, path;
  uint8_t Byte() { return size == 0 ? 0 : (--size, *data++); }
  std::string Rest() {
    std::string rest(reinterpret_cast<const char*>(data), size);
    size = 0;
    return rest;
  }
};

// One scratch directory per fuzzing process, on tmpfs when there is one (file targets run far
// faster there); the working directory and the game directory too.
std::string scratch;

void WriteBytes(const std::string& path, std::string_view bytes) {
  std::ofstream f(path, std::ios::binary);
  Check(f.write(bytes.data(), std::ssize(bytes)).good(), "scratch file written");
}

std::string ReadBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

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
  game_dir = scratch;
}

void CheckCursor() {
  Check(ConsoleWhereX() >= 1 && ConsoleWhereX() <= ConsoleWindowWidth(), "cursor column in window");
  Check(ConsoleWhereY() >= 1 && ConsoleWhereY() <= ConsoleWindowHeight(), "cursor row in window");
}

// --- the file targets: the scaffold has written the game file and reset the library ---

void DropFiles(Input& in) {
  static const DropFileReader kReaders[] = {&ReadDoor32Sys, &ReadDoorSys, &ReadDorinfoDef,
                                            &ReadInfoFile};
  kReaders[in.choice[0] % 4](in.path);
  // Names come from lines before the end-of-file mark.
  Check((door_session.UserName + door_session.Alias).find_first_of("\n\x1a") == std::string::npos,
        "a name is within one line");
}

constexpr size_t kRecord = sizeof(PlayerRecord);

void MarriageFile(Input&) {
  std::string players(3 * kRecord, '\0');
  for (size_t i = 0; i < players.size(); ++i) players[i] = static_cast<char>(i * 7);
  WriteBytes(GamePath("PLAYER.DAT"), players);
  // A readable file is never "unknown" nor "missing": what comes back is what was read and kept.
  const int32_t spouse = ReadQuennaSpouse();
  Check(quenna_spouse == spouse, "quenna_spouse follows the file");
  if (spouse >= 0 && spouse < 3)
    Check(std::memcmp(&work_records[7], players.data() + spouse * kRecord, kRecord) == 0,
          "the spouse's record is read whole");
}

void ConfigLine(Input& in) {
  const std::string line = in.file.substr(0, in.file.find_first_of("\r\n\x1a")).substr(0, 80);
  const bool control = std::any_of(line.begin(), line.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
  });
  Check(LoadConfig() != control, "a line with a control character is refused, any other kept");
  Check(control ? game_dir.empty() : game_dir == line, "the game directory is the line checked");
  Check(game_dir.find_first_of("\r\n\x1a") == std::string::npos && game_dir.size() <= 80,
        "one line, cut at its maximum");
  (void)GamePath("PLAYER.DAT");
}

void MailNews(Input& in) {
  const bool news = in.choice[0] & 1;
  const std::string name = news ? "LOGNOW.TXT" : "MAIL1.DAT";
  if (news) std::filesystem::rename(in.path, GamePath(name));
  auto append = [news, &name] {
    GameOperation op(okMarriage);
    if (news) NewsMarriage(op, "Aria", "Bron");
    else MailWeddingNotice(op, 1, "Aria", 2, "Bron");
    Check(op.Commit() == frDone, "the notices were appended");
    const std::string text = ReadBytes(GamePath(name));
    std::filesystem::remove(GamePath(name));  // the next run's file has no other spelling beside it
    return text;
  };
  const std::string after = append(), entry = append();  // the second on a missing file
  Check(!entry.empty(), "the append wrote something");
  // A Ctrl-Z within the last 128-byte block ends the text: the append starts there.
  const std::string& old = in.file;
  const size_t mark = old.find('\x1a', old.size() > 128 ? old.size() - 128 : 0);
  Check(after == old.substr(0, mark) + entry, "old text kept up to the mark, the entry after it");
}

void PlayerRecordRmw(Input& in) {
  std::string& file = in.file;
  if (file.size() < kRecord) WriteBytes(in.path, file.append(kRecord - file.size(), '\0'));
  const uint8_t edit = in.choice[1];
  const size_t whole = std::min(file.size() / kRecord, size_t{256});
  current_player = static_cast<uint8_t>(in.choice[0] % whole);
  LoadCurrentPlayer();
  const size_t at = current_player * kRecord;
  Check(std::memcmp(&current_record, file.data() + at, kRecord) == 0, "the record is the file's");
  switch (edit % 4) {
    case 0: RepairStats(); break;  // saves by itself
    case 1: current_record.charm = HalveCharm(current_record.charm); break;
    case 2: current_record.name.Set("Renamed Player With A Long Name"); break;
    default: current_record.gold = static_cast<int32_t>(edit) * 1000; break;
  }
  if (edit % 4 != 0) Check(SaveCurrentPlayer(), "the save reports success");
  const std::string after = ReadBytes(in.path);
  Check(after.size() == file.size(), "the file keeps its length");
  Check(after.compare(0, at, file, 0, at) == 0, "records before it unchanged");
  Check(after.compare(at + kRecord, std::string::npos, file, at + kRecord) == 0,
        "records after it and any partial tail unchanged");
  Check(after.compare(at, kRecord, reinterpret_cast<const char*>(&current_record), kRecord) == 0,
        "the saved record is the edited one");
  for (const ReservedStretch& s : kReservedStretches)
    Check(after.compare(at + s.at, s.length, file, at + s.at, s.length) == 0,
          "every reserved byte kept");
}

// --- the targets on bytes in memory ---

void CommandLine(Input& in) {
  // NUL-separated parameters, as the BBS hands them over.
  const std::string text = in.Rest();
  std::vector<const char*> argv = {text.c_str()};
  for (size_t i = 0; i < text.size(); ++i)
    if (text[i] == '\0') argv.push_back(text.c_str() + i + 1);
  // The editor's switch and one-character parameters are skipped wherever they stand.
  std::vector<const char*> padded = argv;
  padded.insert(padded.begin() + 1, "/DEBUG");
  padded.insert(padded.end(), {"-", "/debug"});
  auto parsed = [](const std::vector<const char*>& v) {
    const DoorOptions o = DoorParseOptions(static_cast<int>(v.size()), v.data());
    return std::tuple(o.drop_given, o.drop_path, o.handle, o.node, o.local, o.telnet, o.win_server,
                      o.stdio, o.utf8);
  };
  Check(parsed(padded) == parsed(argv), "skipped parameters change nothing");
  const DoorOptions options = DoorParseOptions(static_cast<int>(argv.size()), argv.data());
  if (options.local) Check(DoorChooseMode(options) == dmLocal, "-L wins");
  Check(ProgramName(argv[0]).size() <= std::strlen(argv[0]), "program name inside argv[0]");
}

void Numbers(Input& in) {
  const std::string text = in.Rest();
  const int32_t lead = StrToIntLead(text);
  int32_t whole = 0;
  if (StrToIntWhole(text, whole))
    Check(lead == whole && StrToIntOr(text, whole ^ 1) == whole, "a whole number is the lead too");
  else
    Check(StrToIntOr(text, 12345) == 12345, "StrToIntOr falls back");
  // Text after the number never changes it; the number printed back reads as itself.
  Check(StrToIntLead(text + "x") == lead, "trailing text changes nothing");
  Check(StrToIntLead(IntToStr(lead)) == lead, "a printed number reads back");
}

std::vector<std::string> written_blocks;
uint8_t at_column, at_row;

void ColourCodes(Input& in) {
  ResetLibrary();
  const uint8_t how = in.Byte();
  at_column = in.Byte(), at_row = in.Byte();
  BacktickTranslation = (how & 8) != 0;
  const std::string text = in.Rest();
  written_blocks.clear();
  DoorSetOutputTap([](std::string_view bytes) { written_blocks.emplace_back(bytes); });
  static void (*const kPrinters[])(std::string_view) = {
      &DoorPrintColour, &DoorPrintColourLn, &DoorPrintCodedLn, &DoorPrintCentredLn,
      [](std::string_view t) { DoorPrintAt(at_column, at_row, t); },
      &DoorPrintLn,     &DoorWrite,         &DoorPrintCentred};
  kPrinters[how % 8](text);
  DoorSetOutputTap(nullptr);
  for (const std::string& block : written_blocks)
    Check(block.size() <= kShortStringMax, "no write beyond the short-string cut");
  CheckCursor();
  const std::string plain = StripCodes(text);
  Check(StripCodes(plain).size() <= plain.size(), "stripping twice never grows");
  (void)TranslateBackticks(text);
}

void LocalAnsi(Input& in) {
  ResetLibrary();
  const size_t split = in.Byte();
  const uint8_t column = in.Byte(), row = in.Byte(), attribute = in.Byte();
  const std::string text = in.Rest();
  const size_t cut = text.empty() ? 0 : split % (text.size() + 1);
  // A sequence split across two writes must still parse.
  for (const std::string_view part : {std::string_view(text).substr(0, cut),
                                      std::string_view(text).substr(cut)}) {
    LocalWriteAnsi(part);
    CheckCursor();
  }
  const auto where = std::tuple(ConsoleWhereX(), ConsoleWhereY(), ConsoleAttr());
  ConsoleWriteAt(text.substr(0, 100), column, row, attribute);
  Check(std::tuple(ConsoleWhereX(), ConsoleWhereY(), ConsoleAttr()) == where,
        "ConsoleWriteAt moves nothing");
}

const uint8_t* U8(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

void Telnet(Input& in) {
  // The input received in chunks: the filter must never write past the chunk, and its replies
  // must be whole three-byte answers.
  const std::string wire = in.Rest();
  const uint8_t* source = U8(wire);
  const size_t n = wire.size();
  TelnetFilter filter;
  std::string replies;
  std::vector<uint8_t> data(n + 1);
  for (size_t at = 0, chunk, length = 0; at < n; at += chunk) {
    chunk = std::min<size_t>(n - at, 1 + source[at] % 7);
    TelnetParse(filter, source + at, chunk, data.data(), length, replies);
    Check(length <= chunk, "no more data than was received");
  }
  Check(replies.size() % 3 == 0, "replies are IAC, WILL or WONT, option");
  for (size_t i = 0; i < replies.size(); i += 3)
    Check(U8(replies)[i] == kTelnetIac &&
              (U8(replies)[i + 1] == kTelnetWill || U8(replies)[i + 1] == kTelnetWont),
          "reply shape");
  // Round trip: the writer escapes the same bytes through a socket that takes arbitrary
  // amounts, and the parser gives back exactly what was queued.
  std::string sent_wire;
  bool half_sent = false;
  uint8_t escaped[24];
  for (size_t pos = 0, step = 0, stalls = 0, consumed; pos < n;) {
    const uint8_t knob = source[step++ % n];
    const size_t capacity = 2 + knob % (sizeof escaped - 1);  // always room for a pair
    const size_t length =
        TelnetEscape(source + pos, n - pos, half_sent, escaped, capacity, consumed);
    Check(length > 0 && length <= capacity, "escape fits its buffer and makes progress");
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
  TelnetParse(back, U8(sent_wire), sent_wire.size(), received.data(), length, no_replies);
  Check(std::string_view(reinterpret_cast<const char*>(received.data()), length) == wire,
        "what the writer escapes, the parser gives back");
  Check(no_replies.empty() && back.state == tsData, "escaped data holds no commands");
}

void Keys(Input& in) {
  // Local terminal bytes and the caller's NUL-prefixed extended keys through the one decoder, at
  // times the input chooses; every key that comes out is whole.
  KeyDecoder decoder;
  int32_t now = 1000;
  std::string out;
  auto take = [&] {
    while (decoder.HasOutput()) out += static_cast<char>(decoder.TakeByte());
  };
  while (in.size > 0) {
    const uint8_t op = in.Byte();
    if (op % 4 == 0) decoder.PutExtended(in.Byte());
    else if (op % 4 == 1) decoder.Tick(now);
    else decoder.Feed(in.Byte(), now);
    now += op >> 4;  // 0..15 ms
    take();
  }
  decoder.Tick(now + 1000);
  Check(!decoder.Pending(), "a pending prefix ends once its time is up");
  take();
  for (size_t i = 0; i < out.size(); ++i) {
    if (out[i] == 0) Check(++i < out.size(), "an extended key carries its scan code");
    else Check(out[i] != 127, "DEL comes out as Backspace");
  }
}

void CallerCharsets(Input& in) {
  // The caller's bytes, whatever they are: a byte below 0x80 always comes out at once as itself
  // (Esc and keys are never held), and a character made of several bytes never decodes to one.
  const std::string wire = in.Rest();
  CallerKeyDecoder decoder(ccUtf8);
  for (const char c : wire) {
    const auto byte = static_cast<uint8_t>(c);
    const int out = decoder.Feed(byte);
    Check(byte < 0x80 ? out == byte : out == -1 || out >= 0x80,
          "a byte below 0x80 passes at once; only the upper half comes from a sequence");
  }
  // The same bytes as CP437 text: what the door sends decodes back to itself, and after a send cut
  // anywhere, the bytes reported sent are exactly those whose encoding went out whole.
  auto encode = [](std::string_view text) {
    std::string encoded;
    CallerEncode(ccUtf8, text, encoded);
    return encoded;
  };
  const std::string encoded = encode(wire);
  CallerKeyDecoder back(ccUtf8);
  std::string decoded;
  for (const char c : encoded)
    if (const int out = back.Feed(static_cast<uint8_t>(c)); out >= 0)
      decoded.push_back(static_cast<char>(out));
  Check(decoded == wire, "what is encoded decodes back");
  const size_t cut = wire.empty() ? 0 : static_cast<uint8_t>(wire[0]) * encoded.size() / 255;
  const size_t sent = CallerBytesSent(ccUtf8, wire, cut);
  Check(encode(wire.substr(0, sent)).size() <= cut &&
            (sent == wire.size() || encode(wire.substr(0, sent + 1)).size() > cut),
        "bytes reported sent are those sent whole");
}

struct Target {
  std::string_view name;
  void (*run)(Input& in);
  size_t max_input;  // longer inputs are skipped: they find nothing new and slow the run
  const char* file = nullptr;  // a file target: the scaffold writes this game file first
  int choices = 0;             // the bytes before the file's
};
const Target kTargets[] = {
    {"drop_files", &DropFiles, 4096, "DROP.SYS", 1},
    {"marriage_file", &MarriageFile, 512, "MARRAGE.DAT"},
    {"config_line", &ConfigLine, 512, "ZORVAN32.CFG"},
    {"mail_news", &MailNews, 2048, "MAIL1.DAT", 1},
    {"player_record", &PlayerRecordRmw, 8 * kRecord + 2, "PLAYER.DAT", 2},
    {"command_line", &CommandLine, 1024}, {"numbers", &Numbers, 256},
    {"colour_codes", &ColourCodes, 2048}, {"local_ansi", &LocalAnsi, 4096},
    {"telnet", &Telnet, 4096},            {"keys", &Keys, 4096},
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
  std::atexit([] { std::filesystem::remove_all(scratch); });
  SetHaltHook(&HaltIsAFinding);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > chosen->max_input) return -1;
  Input in{data, size, {}, {}, {}};
  if (chosen->file != nullptr) {  // the file targets' one scaffold
    ResetLibrary();
    for (int i = 0; i < chosen->choices; ++i) in.choice[i] = in.Byte();
    in.file = in.Rest();
    in.path = scratch + chosen->file;
    WriteBytes(in.path, in.file);
  }
  chosen->run(in);
  return 0;
}
