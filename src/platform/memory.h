// Memory for the big hash tables.
#pragma once

#include <cstddef>

// Zeroed memory for a hash table, released with std::free; nullptr when there is not enough.
// A table of 2 MB or more is aligned to 2 MB and asks for transparent huge pages: touching
// gigabytes in 4 KB pages costs tens of seconds of page faults on some virtual machines,
// and the probes of a table that large miss the TLB on nearly every access.
void* allocate_table(size_t bytes);
