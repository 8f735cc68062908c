// Bringing the engine into its ready state, and taking it down again.
#pragma once

// Runs the start-up sequence: tables, game storage, the speed calibration (when `calibrate`
// is set; tests leave it out and get fixed poll intervals), the option defaults and the start
// position. False when memory for the game record could not be had.
bool startup(bool calibrate = true);

// Releases what startup took. Safe to call more than once.
void shutdown();

#if TARROW_MP
// Starts or ends helper search threads until `count` (1..8) threads search; stops early when
// the system refuses a thread. Out of memory for a new thread's tables ends the process.
void set_thread_count(int count);
#endif

// Ends the process after a resource failure in the middle of a game: shutdown, exit status 255.
[[noreturn]] void fail_out_of_memory();
