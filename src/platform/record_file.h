// A file of fixed-size records that several engine processes in one directory append to and
// read at once (a GUI playing the engine against itself runs two of them). Every access holds
// an advisory lock on the file: appends and the trim take it exclusively, readers shared. A
// record is appended with one write, so records never interleave or tear, and a file whose
// size is not a whole number of records (cut off by a crash or a full disk) is cut back to
// its last whole record before the next one is added. Only regular files are opened: a FIFO
// or a device under the file's name would block the open or never end a read.
#pragma once

#include <cstddef>
#include <cstdio>

// What a path names. A link counts as what it points to.
enum class PathKind { Missing, RegularFile, Other };
PathKind path_kind(const char* path);

// Appends one record of `size` bytes; false when the file cannot be opened or written, or is
// not a regular file.
bool append_record(const char* path, const void* record, size_t size);

// When the file holds more than `threshold` records, moves its newest `keep` records to the
// front in place and cuts it there. Needs no memory beyond a fixed buffer. False on a failure
// (the file then still holds whole records only).
bool trim_record_file(const char* path, size_t size, long threshold, long keep);

// Opens the file for reading under a shared lock (released by fclose); nullptr when there is
// no file or it is not a regular file.
FILE* open_records_for_reading(const char* path);
