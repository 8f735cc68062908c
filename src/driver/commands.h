// The UCI command interpreter.
#pragma once

// Executes one command line (tokenised in place). Returns 0 when the line has no token or its
// first token is no command, 1 otherwise. Runs on the main thread, also nested inside a
// running search.
int execute_command(char* line);
