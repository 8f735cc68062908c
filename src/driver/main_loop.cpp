#include "driver/main_loop.h"

#include "core/input.h"
#include "core/output.h"
#include "driver/startup.h"
#include "platform/clock.h"
#include "platform/input.h"
#include "search/control.h"

int main_loop() {
  poll_input();  // decides whether the input is a pipe or a terminal
  Control.QuitRequested = false;
  while (!Control.QuitRequested) {
    if (!input_is_pipe()) {
      read_command();  // a terminal: wait for the user's line
    } else if (poll_input() != 0) {
      read_command();
    } else {
      sleep_ms(10);  // a pipe is polled, the same way a running search polls it
    }
  }
  if (Control.DebugMode) send_info_string("ready!");
  shutdown();
  return 0;
}
