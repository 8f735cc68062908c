// The evaluation tables each search thread owns: material table, pawn hash and bishop
// mobility cache, hung on the thread's Position.
#pragma once

#include <cstdint>

#include "board/position.h"

struct BishopMobilityEntry {
  uint32_t word0;  // first key word, low 8 bits replaced by the signed mobility value
  uint32_t word1;  // second key word
};

constexpr int BishopMobilityCacheSize = 65536;

// Allocates (zero-filled) whatever is missing; false when memory is short. Tables already
// present are kept.
bool allocate_thread_eval_tables(Position& pos);
void free_thread_eval_tables(Position& pos);

void clear_material_table(Position& pos);
void clear_pawn_hash(Position& pos);
void clear_bishop_mobility_cache(Position& pos);
