#include "driver/main_loop.h"

#include "core/input.h"
#include "core/output.h"
#include "driver/startup.h"
#include "platform/input.h"
#include "search/control.h"

namespace {
constexpr int IdleWaitMs = 1000;
}

int main_loop() {
  poll_input();  // decides whether the input is a pipe or a terminal
  Control.QuitRequested = false;
  while (!Control.QuitRequested) {
    if (!input_is_pipe()) {
      read_command();  // a terminal: wait for the user's line
    } else if (poll_input() != 0) {
      read_command();
    } else {
      // Nothing waiting on the pipe: sleep until a byte arrives (or a second has passed, so
      // the loop still looks at its flags now and then).
      wait_for_input(IdleWaitMs);
    }
  }
  if (Control.DebugMode) send_info_string("ready!");
  shutdown();
  return 0;
}
