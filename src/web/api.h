// The web console's JSON API, made by the command words' own functions: what list, show, check and
// log --json print, and changes through set's and undo's paths. Not thread-safe: the server calls
// these one at a time, under its lock.
#pragma once
#include <cstdint>
#include <string>

#include "commands/command_output.h"

struct ApiAnswer {
  int status;  // HTTP
  Json body;
};

ApiAnswer ApiPlayers();          // GET /api/players: list --json
ApiAnswer ApiPlayer(int32_t n);  // GET /api/players/N: show N --json
ApiAnswer ApiCheck();            // GET /api/check: check --json
ApiAnswer ApiLog();              // GET /api/log: log --json
// POST /api/players/N with a JSON object of field -> value: every value checked first (422 with
// {"refused": {field: why}}, nothing written), then one set of them all; the answer holds the
// player as written.
ApiAnswer ApiSetPlayer(int32_t n, const std::string& body);
// POST /api/undo/N: undo N, its lines in "said".
ApiAnswer ApiUndo(int32_t op);
// The page file at path (its content type in type), or nullptr: the only files served.
const std::string* PageFile(const std::string& path, std::string& type);
