// The "position" command: sets the game from "startpos" or a FEN text and plays the moves that
// follow.
#pragma once

#include "driver/tokens.h"

// `tokens` stands after the word "position".
void position_command(Tokenizer& tokens);
