#include "driver/commands.h"

#include <strings.h>

#include <cstring>

#include "core/options.h"
#include "core/output.h"
#include "driver/eval_command.h"
#include "driver/game_setup.h"
#include "driver/go.h"
#include "driver/option_table.h"
#include "learn/learning.h"
#include "search/control.h"
#include "search/root.h"
#include "tablebase/binding.h"

namespace {

constexpr int OptionNameCapacity = 256;    // 255 characters and the terminator
constexpr int OptionValueCapacity = 800;   // 799 characters and the terminator

// Appends `text` (after one space when `into` is not empty), cut at the capacity.
void append_word(char* into, int capacity, const char* text) {
  size_t used = std::strlen(into);
  if (used > 0 && used + 1 < size_t(capacity)) into[used++] = ' ';
  for (; *text && used + 1 < size_t(capacity); ++text) into[used++] = *text;
  into[used] = '\0';
}

void replace_word(char* into, int capacity, const char* text) {
  into[0] = '\0';
  append_word(into, capacity, text);
}

// "setoption name <words> value <words>": "name" and "value" in any letter case switch the
// part being gathered; the token after them starts that part afresh.
void setoption_command(Tokenizer& tokens) {
  if (Control.SearchState != Idle) return;
  char name[OptionNameCapacity] = "";
  char value[OptionValueCapacity] = "";
  bool inValue = false;
  while (char* token = tokens.take()) {
    if (strcasecmp(token, "name") == 0) {
      if (char* next = tokens.take()) replace_word(name, OptionNameCapacity, next);
      inValue = false;
    } else if (strcasecmp(token, "value") == 0) {
      if (char* next = tokens.take()) replace_word(value, OptionValueCapacity, next);
      inValue = true;
    } else if (inValue) {
      append_word(value, OptionValueCapacity, token);
    } else {
      append_word(name, OptionNameCapacity, token);
    }
  }
  if (name[0]) apply_option(name, value);
}

void isready_command() {
  // New "NalimovPath" or "NalimovCache": the tables are catalogued again, once no search
  // is probing them.
  if (Control.SearchState == Idle) tablebase_apply_settings();
  send_line("readyok\n");
}

void ponderhit_command() {
  if (Control.SearchState != Pondering) return;
  // The search now runs on its own clock, counted from the start of the ponder search. With a
  // single legal move, or when the allotted time is already used while the first root move
  // stands stable, there is nothing more to think about.
  Control.SearchState = Thinking;
  if (ponderhit_stops_search()) Control.StopRequested = true;
}

void stop_command() {
  Control.StopRequested = true;
  Control.StopReceived = true;
}

void quit_command() {
  Control.QuitRequested = true;
  if (Control.SearchState != Idle) stop_command();
}

void debug_command(Tokenizer& tokens) {
  const char* token = tokens.take();
  if (!token) return;
  if (std::strcmp(token, "on") == 0) Control.DebugMode = true;
  else if (std::strcmp(token, "off") == 0) Control.DebugMode = false;
}

}  // namespace

int execute_command(char* line) {
  Tokenizer tokens(line);
  const char* command = tokens.take();
  if (!command) return 0;
  if (std::strcmp(command, "stop") == 0) stop_command();
  else if (std::strcmp(command, "isready") == 0) isready_command();
  else if (std::strcmp(command, "uci") == 0) send_uci_reply();
  else if (std::strcmp(command, "setoption") == 0) setoption_command(tokens);
  else if (std::strcmp(command, "go") == 0) go_command(tokens);
  else if (std::strcmp(command, "ponderhit") == 0) ponderhit_command();
  else if (std::strcmp(command, "quit") == 0) quit_command();
  else if (std::strcmp(command, "ucinewgame") == 0) {
    if (Control.SearchState == Idle) clear_analysis_memory();
  } else if (std::strcmp(command, "debug") == 0) debug_command(tokens);
  else if (std::strcmp(command, "position") == 0) position_command(tokens);
  else if (std::strcmp(command, "eval") == 0) eval_command();
  else return 0;
  return 1;
}
