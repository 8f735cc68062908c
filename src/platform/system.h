// Processor count and thread priority.
#pragma once

// Processors this process may run on (at least 1).
int processor_count();

// Raises the calling thread to the highest priority the system grants and returns a token
// for restore_thread_priority. Best effort: without the right to raise it, nothing changes.
int raise_thread_priority();
void restore_thread_priority(int token);

// Makes writes to a closed output pipe fail quietly instead of ending the process.
void ignore_broken_pipe();
