// Ending the process after a resource failure in the middle of a game. Start-up registers what
// must be released first, so that the modules that hit a failure need not know it.
#pragma once

// The clean-up run before the process ends (the engine's shutdown).
void set_failure_cleanup(void (*cleanup)());

// Runs the clean-up, flushes the output and ends the process with exit status 255.
[[noreturn]] void fail_out_of_memory();
