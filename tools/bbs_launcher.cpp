// Plays a BBS for one call, to try the door without one: listens on a TCP port, accepts one caller,
// writes a DOOR32.SYS for it and runs the door with the connection inherited, as a BBS does.
//   bbs_launcher [--port N] [--drop DIR] [--name NAME] [--minutes N] [--node N] [-- DOOR ARGS...]
// In the door's arguments {H} becomes the socket handle and {D} the DOOR32.SYS path; without a
// door, zorvan32 -D{D} beside the launcher runs. Ends with the door's exit code.
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "door/helpers.h"
#include "runtime/launch.h"

namespace {

struct LaunchOptions {
  int port = 0, minutes = 60, node = 1;
  std::string drop_dir, name = "Test Caller";
  std::vector<std::string> door;
};

bool ParseNumber(const std::string& text, int& value) {
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && value >= 0;
}

bool ParseOptions(int argc, char** argv, LaunchOptions& o) {
  for (int i = 1; i < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--") {
      o.door.assign(argv + i + 1, argv + argc);
      return !o.door.empty();
    }
    if (i + 1 >= argc) return false;
    const std::string value = argv[i + 1];
    int* number = option == "--port" ? &o.port : option == "--minutes" ? &o.minutes
                  : option == "--node" ? &o.node : nullptr;
    if (number ? !ParseNumber(value, *number) : option != "--drop" && option != "--name")
      return false;
    if (option == "--drop") o.drop_dir = value;
    if (option == "--name") o.name = value;
  }
  return o.port <= 65535;
}

bool WriteDoor32Sys(const std::string& path, SocketHandle socket, const LaunchOptions& o) {
  const std::string lines[] = {"2", std::to_string(socket), "115200", "Zorvan/32 launcher", "1",
                               o.name, o.name.substr(0, o.name.find(' ')), "100",
                               std::to_string(o.minutes), "1", std::to_string(o.node)};
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  for (const std::string& line : lines) std::fprintf(file, "%s\r\n", line.c_str());
  return std::fclose(file) == 0;
}

void Substitute(std::string& text, const std::string& key, const std::string& value) {
  for (size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + value.size()))
    text.replace(at, key.size(), value);
}

int Failed(const std::string& what) {
  std::fprintf(stderr, "bbs_launcher: %s\n", what.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  LaunchOptions options;
  if (!ParseOptions(argc, argv, options))
    return Failed("usage: bbs_launcher [--port N] [--drop DIR] [--name NAME] [--minutes N]"
                  " [--node N] [-- DOOR ARGS...]   ({H} handle, {D} DOOR32.SYS path)");
  if (options.door.empty()) {
    // The door beside the launcher; a bare name is looked up as the system looks up programs.
    const std::string self = argv[0];
    const size_t cut = self.find_last_of("/\\");
    options.door = {(cut == std::string::npos ? "" : self.substr(0, cut + 1)) + "zorvan32", "-D{D}"};
  }
  std::error_code ignored;
  if (options.drop_dir.empty()) options.drop_dir = std::filesystem::current_path(ignored).string();

  int port = 0;
  const SocketHandle listener = LaunchListen(options.port, port);
  if (listener == kNoSocket) return 1;
  std::printf("listening on port %d\n", port);
  std::fflush(stdout);
  const SocketHandle caller = LaunchAcceptOne(listener);
  if (caller == kNoSocket) return 1;
  const std::string drop = AddBackslash(options.drop_dir) + "DOOR32.SYS";
  int code = -1;
  if (!WriteDoor32Sys(drop, caller, options)) {
    Failed("cannot write " + drop);
  } else {
    for (std::string& arg : options.door) {
      Substitute(arg, "{H}", std::to_string(caller));
      Substitute(arg, "{D}", drop);
    }
    code = LaunchRunDoor(options.door);
  }
  // A BBS keeps the line until the door has ended; only then is our copy let go.
  SocketClose(caller);
  return code < 0 ? 1 : code;
}
