// Bringing the engine into its ready state, and taking it down again.
#pragma once

// Runs the start-up sequence: tables, game storage, the speed calibration (when `calibrate`
// is set; tests leave it out and get fixed poll intervals), the option defaults and the start
// position. False when memory for the game record could not be had.
bool startup(bool calibrate = true);

// Releases what startup took. Safe to call more than once.
void shutdown();
