#include "search/control.h"

SearchControl Control;

void reset_search_control() {
  Control.SearchState = Idle;
  Control.StopRequested = false;
  Control.QuitRequested = false;
  Control.DebugMode = false;
  Control.NodeLimit = 0;
  Control.SearchMoves[0] = NoMove;
}
