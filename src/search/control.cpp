#include "search/control.h"

#include "platform/clock.h"
#include "platform/input.h"

SearchControl Control;

void reset_search_control() {
  Control.SearchState = Idle;
  Control.StopRequested = false;
  Control.QuitRequested = false;
  Control.DebugMode = false;
  Control.NodeLimit = 0;
  Control.MateMoves = 0;
  Control.StopReceived = false;
  Control.SearchMoves[0] = NoMove;
  Control.InputPolling = true;
}

bool search_input_waiting() { return Control.InputPolling && poll_input() != 0; }

void search_pause(int ms) {
  if (Control.InputPolling) wait_for_input(ms);
  else sleep_ms(ms);
}
