// The engine's memory-hungry tables, seen from the driver: the transposition table and the
// evaluation cache (sized by "Hash"), and the evaluation caches of every search thread.
#pragma once

#include <cstdint>

// Start-up: both shared tables at the current split sizes, no fallback. False on failure.
bool allocate_hash_tables();
// After a "Hash" change: reallocates each shared table whose share changed. A transposition
// table that only got its fallback size is reported in an "info string". False when a table
// could not be had even at the transposition table's fallback size.
bool resize_hash_tables(int32_t tableKB, int32_t cacheKB);
// "Clear Hash": the shared tables and every thread's pawn, bishop-mobility and material tables.
void clear_all_hash_tables();
void free_hash_tables();
