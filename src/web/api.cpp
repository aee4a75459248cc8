#include "web/api.h"

#include <vector>

#include "commands/commands.h"
#include "commands/game_view.h"
#include "editor/journal.h"

namespace {

// What the words would say on stderr and stdout while one answer is made.
class Transcript {
 public:
  Transcript() { command_transcript = &lines_; }
  ~Transcript() { command_transcript = nullptr; }
  Transcript(const Transcript&) = delete;
  Transcript& operator=(const Transcript&) = delete;
  const CommandTranscript& Lines() const { return lines_; }

 private:
  CommandTranscript lines_;
};

ApiAnswer Failed(int status, const Transcript& words, const char* otherwise) {
  const std::vector<std::string>& errors = words.Lines().errors;
  return {status, {{"error", errors.empty() ? std::vector<std::string>{otherwise} : errors}}};
}

// The answer made from the game as it is now, or 503 with what the words said when it cannot be
// read.
template <typename Made>
ApiAnswer FromView(Made made) {
  Transcript words;
  GameView view;
  if (!CommandLoadGame() || !ReadGameView(view))
    return Failed(503, words, "the game cannot be read");
  return made(view);
}

// A value as set's FIELD=VALUE takes it: a string as given, a whole number in decimal.
bool ValueText(const Json& value, std::string& text) {
  if (value.is_string()) text = value.get<std::string>();
  else if (value.is_number_integer()) text = value.dump();
  else return false;
  return true;
}

}  // namespace

ApiAnswer ApiPlayers() {
  return FromView([](const GameView& view) -> ApiAnswer {
    Json players = Json::array();
    for (size_t n = 0; n < view.players.size(); ++n)
      players.push_back(ListJson(view, static_cast<int32_t>(n)));
    return {200, players};
  });
}

ApiAnswer ApiPlayer(int32_t n) {
  return FromView([n](const GameView& view) -> ApiAnswer {
    if (!view.Has(n)) return {404, {{"error", {"there is no player " + std::to_string(n)}}}};
    return {200, RecordJson(view.At(n), n)};
  });
}

ApiAnswer ApiCheck() {
  return FromView([](const GameView& view) -> ApiAnswer { return {200, CheckJson(view)}; });
}

ApiAnswer ApiLog() {
  Transcript words;
  std::vector<JournalLine> lines;
  if (LogLines({}, lines) != 0) return Failed(503, words, "the journal cannot be read");
  Json document = Json::array();
  for (const JournalLine& line : lines) document.push_back(LogJson(line));
  return {200, document};
}

ApiAnswer ApiSetPlayer(int32_t n, const std::string& body) {
  const Json given = Json::parse(body, nullptr, false);
  if (given.is_discarded() || !given.is_object() || given.empty())
    return {400, {{"error", {"the body is not a JSON object of field -> value"}}}};
  CommandArgs assignments;
  Json refused = Json::object();
  for (const auto& [field, value] : given.items()) {
    std::string text;
    if (field.find('=') != std::string::npos)
      refused[field] = "no field named \"" + field + "\"";
    else if (!ValueText(value, text))
      refused[field] = field + ": not a text or a whole number";
    else if (std::string why = SetRefusesArgument(field + "=" + text); !why.empty())
      refused[field] = why;
    else
      assignments.push_back(field + "=" + text);
  }
  if (!refused.empty()) return {422, {{"refused", refused}}};
  Transcript words;
  PlayerRecord written;
  SetDone done;
  done.written = &written;
  const int status = SetPlayerFields(std::to_string(n), assignments, false, done);
  if (status == 1) return Failed(404, words, "no such player");
  if (status != 0) return Failed(409, words, "nothing was changed");
  return {200, {{"player", RecordJson(written, n)}, {"said", done.lines}}};
}

ApiAnswer ApiUndo(int32_t op) {
  Transcript words;
  const int status = RunUndo({std::to_string(op)}, false);
  const CommandTranscript& lines = words.Lines();
  return {status == 0 ? 200 : 409, {{"said", lines.said}, {"error", lines.errors}}};
}
