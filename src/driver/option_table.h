// The option table: the "uci" reply (identification and every option line) and the mapping
// from a "setoption" name and value to the option variables.
#pragma once

#include <cstdint>

constexpr int OptionLineCapacity = 128;
constexpr int OptionListCapacity = 40;

// The option lines after the fixed head of the "uci" reply, ending with an empty line.
struct OptionList {
  char lines[OptionListCapacity][OptionLineCapacity];
};

// Builds the list anew; lines that show a current value show it as it is now.
const OptionList& build_option_list();

// Sends the whole "uci" reply: identification, every option line, "uciok".
void send_uci_reply();

// Applies one option as gathered from "setoption"; an empty value presses a button. Names are
// matched without regard to letter case; out-of-range and malformed values are ignored.
void apply_option(const char* name, const char* value);

// Shares `totalKB` between the transposition table (four fifths, rounded up) and the
// evaluation cache (the rest) and records the sizes in Options.
void apply_hash_split(int32_t totalKB);
