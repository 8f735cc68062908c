// The idle loop: reads and executes one command line at a time until "quit".
#pragma once

// Returns the program's exit status (0).
int main_loop();
