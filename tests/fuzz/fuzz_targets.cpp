// libFuzzer targets for everything that reads bytes from outside: one table of targets, and each
// binary is this file built with ZORVAN_FUZZ_TARGET naming its entry. A broken property aborts, so
// libFuzzer keeps the input that shows it.
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "comm/caller_charset.h"
#include "comm/state.h"
#include "comm/telnet_filter.h"
#include "door/drop_files.h"
#include "door/library.h"
#include "door/session.h"
#include "editor/editor_state.h"
#include "editor/npc_marriage.h"
#include "editor/player_file.h"
#include "editor/repair.h"
#include "editor/startup.h"
#include "runtime/files.h"
#include "runtime/halt.h"
#include "runtime/key_decoder.h"
#include "runtime/state.h"

// Every game-file open pauses a millisecond, which would hold a file target to a thousand runs a
// second. Nothing here runs a second thread, so a sleep has nothing to wait for.
extern "C" int nanosleep(const struct timespec*, struct timespec*) { return 0; }

namespace {

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "property broken: %s\n", what);
  std::abort();
}

// The input's next byte, taken off its front (0 past its end).
uint8_t Take(std::string_view& in) {
  const uint8_t byte = in.empty() ? 0 : static_cast<uint8_t>(in[0]);
  in.remove_prefix(std::min<size_t>(in.size(), 1));
  return byte;
}

// One scratch directory per fuzzing process (on tmpfs when there is one): the working directory,
// so the targets name their files bare, and the game directory.
std::string scratch;

void WriteBytes(const std::string& path, std::string_view bytes) {
  Check((std::ofstream(path, std::ios::binary) << bytes).good(), "scratch file written");
}

// The file targets: the rest of the input (after their choice bytes) as the game file, read by a
// library fresh from its start.
std::string GameFile(std::string_view in, const std::string& name) {
  RuntimeReset();
  CommReset();
  DoorLibraryReset();
  EditorStateReset();
  SetHaltHook([](int) { Check(false, "nothing here ends the program: Halt reached"); });
  SetFileOpenMode(fmExclusive);
  editor_state.game_dir = scratch;
  WriteBytes(name, in);
  return std::string(in);
}

void DropFiles(std::string_view in) {
  static const DropFileReader kReaders[] = {&ReadDoor32Sys, &ReadDoorSys, &ReadDorinfoDef,
                                            &ReadInfoFile};
  const uint8_t which = Take(in);
  GameFile(in, "DROP.SYS");
  kReaders[which % 4]("DROP.SYS");
  // Names come from lines before the end-of-file mark.
  Check((door_session.UserName + door_session.Alias).find_first_of("\n\x1a") == std::string::npos,
        "a name is within one line");
}

constexpr size_t kRecord = sizeof(PlayerRecord);

void MarriageFile(std::string_view in) {
  GameFile(in, "MARRAGE.DAT");
  WriteBytes("PLAYER.DAT", std::string(3 * kRecord, '\0'));
  ReadQuennaSpouse();  // whatever number it names reaches a record read
}

void ConfigLine(std::string_view in) {
  const std::string file = GameFile(in, "ZORVAN32.CFG");
  LoadConfig();
  const std::string& dir = editor_state.game_dir;
  Check(std::ranges::all_of(dir, [](unsigned char c) { return c >= 0x20 && c != 0x7F; }) &&
            dir.size() <= 80 && file.starts_with(dir),
        "the game directory is the first line, printable, at most 80 characters");
}

// Any record through the repair's arithmetic, which saves it by itself.
void PlayerRecordRepair(std::string_view in) {
  const uint8_t which = Take(in);
  std::string file = GameFile(in, "PLAYER.DAT");
  if (file.size() < kRecord) WriteBytes("PLAYER.DAT", file.append(kRecord - file.size(), '\0'));
  const size_t player = which % std::min(file.size() / kRecord, size_t{256});
  editor_state.current_player = static_cast<uint8_t>(player);
  LoadCurrentPlayer();
  RepairStats();
  file.replace(player * kRecord, kRecord,
               reinterpret_cast<const char*>(&editor_state.current_record), kRecord);
  std::ifstream saved("PLAYER.DAT", std::ios::binary);
  Check(std::string(std::istreambuf_iterator<char>(saved), {}) == file,
        "only the record changes (not a partial tail), to the repaired one");
}

const uint8_t* U8(std::string_view s) { return reinterpret_cast<const uint8_t*>(s.data()); }

// Local terminal bytes and the caller's NUL-prefixed extended keys through the one decoder, at
// times the input chooses; every key that comes out is whole.
void Keys(std::string_view in) {
  KeyDecoder decoder;
  int32_t now = 1000;
  std::string out;
  for (bool last = false; !last;) {
    last = in.empty();
    const uint8_t op = Take(in);
    if (last) decoder.Tick(now + 1000);  // past any wait
    else if (op % 4 == 0) decoder.PutExtended(Take(in));
    else if (op % 4 == 1) decoder.Tick(now);
    else decoder.Feed(Take(in), now);
    now += op >> 4;  // 0..15 ms
    while (decoder.HasOutput()) out += static_cast<char>(decoder.TakeByte());
  }
  Check(!decoder.Pending(), "a pending prefix ends once its time is up");
  for (size_t i = 0; i < out.size(); ++i) {
    if (out[i] == 0) Check(++i < out.size(), "an extended key carries its scan code");
    else Check(out[i] != 127, "DEL comes out as Backspace");
  }
}

// A UTF-8 caller's bytes: below 0x80 each comes out at once as itself, and a character of several
// bytes never decodes to one. The same bytes as CP437 text: sent, they decode back to themselves,
// and after a send cut anywhere, the bytes reported sent are those whose encoding went out whole.
void CallerCharsets(std::string_view wire) {
  CallerKeyDecoder decoder(ccUtf8);
  std::string encoded;
  std::vector<size_t> ends = {0};  // the encoding's length after each character
  for (const char c : wire) {
    const uint8_t byte = c;
    const int out = decoder.Feed(byte);
    Check(byte < 0x80 ? out == byte : out == -1 || out >= 0x80,
          "a byte below 0x80 passes at once; only the upper half comes from a sequence");
    CallerEncode(ccUtf8, std::string_view(&c, 1), encoded);
    ends.push_back(encoded.size());
  }
  CallerKeyDecoder back(ccUtf8);
  std::string decoded;
  for (const uint8_t byte : encoded)
    if (const int out = back.Feed(byte); out >= 0) decoded.push_back(static_cast<char>(out));
  Check(decoded == wire, "what is encoded decodes back");
  const size_t cut = wire.empty() ? 0 : U8(wire)[0] * encoded.size() / 255;
  const size_t sent = CallerBytesSent(ccUtf8, wire, cut);
  Check(ends[sent] <= cut && (sent == wire.size() || ends[sent + 1] > cut),
        "bytes reported sent are those sent whole");
}

// Parsed in chunks of 1 to 7 bytes, as they arrive: never more data out than a chunk held.
std::string Parse(TelnetFilter& filter, std::string_view wire, std::string& replies) {
  std::string data;
  uint8_t out[8];
  for (size_t at = 0, chunk, length = 0; at < wire.size(); at += chunk) {
    chunk = std::min<size_t>(wire.size() - at, 1 + U8(wire)[at] % 7);
    TelnetParse(filter, U8(wire) + at, chunk, out, length, replies);
    Check(length <= chunk, "no more data than was received");
    data.append(reinterpret_cast<const char*>(out), length);
  }
  return data;
}

// The caller's bytes: replies are whole three-byte answers. The writer's escaping of the same bytes
// through a socket that takes any amount: the parser gives back exactly what was queued.
void Telnet(std::string_view wire) {
  TelnetFilter filter, back;
  std::string replies;
  Parse(filter, wire, replies);
  for (size_t i = 0; i < replies.size(); i += 3)
    Check(i + 2 < replies.size() && U8(replies)[i] == kTelnetIac &&
              (U8(replies)[i + 1] == kTelnetWill || U8(replies)[i + 1] == kTelnetWont),
          "replies are IAC, WILL or WONT, option");
  const uint8_t* source = U8(wire);
  std::string sent_wire;
  bool half_sent = false;
  uint8_t escaped[24];
  for (size_t pos = 0, step = 0, consumed; pos < wire.size();) {
    const uint8_t knob = source[step++ % wire.size()];
    const size_t capacity = 2 + knob % (sizeof escaped - 1);  // always room for a pair
    const size_t length =
        TelnetEscape(source + pos, wire.size() - pos, half_sent, escaped, capacity, consumed);
    Check(length > 0 && length <= capacity, "escape fits its buffer and makes progress");
    const size_t sent = 1 + (knob >> 3) % length;
    sent_wire.append(reinterpret_cast<const char*>(escaped), sent);
    pos += TelnetSentBytes(source + pos, consumed, half_sent, sent);
  }
  replies.clear();
  Check(Parse(back, sent_wire, replies) == wire, "what the writer escapes, the parser gives back");
  // A half pair owed at the end would leave the parser inside a command.
  Check(replies.empty() && back.state == tsData, "escaped data holds no commands");
}

// The three decoders of bytes from outside, chosen by the first byte.
void Decoders(std::string_view in) {
  static void (*const kDecoders[])(std::string_view) = {&Keys, &CallerCharsets, &Telnet};
  kDecoders[Take(in) % 3](in);
}

const std::map<std::string_view, void (*)(std::string_view)> kTargets = {
    {"drop_files", &DropFiles},     {"marriage_file", &MarriageFile}, {"config_line", &ConfigLine},
    {"player_record", &PlayerRecordRepair}, {"decoders", &Decoders}};

void (*chosen)(std::string_view) = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  chosen = kTargets.at(ZORVAN_FUZZ_TARGET);
  std::string dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  dir += "/zorvan-fuzz-XXXXXX";
  Check(mkdtemp(dir.data()) != nullptr && chdir(dir.c_str()) == 0, "no scratch directory");
  scratch = dir + "/";
  std::atexit([] { std::filesystem::remove_all(scratch); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  chosen(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
