#include "eval/thread_tables.h"

#include <cstdlib>
#include <cstring>

#include "eval/material.h"
#include "eval/pawns.h"

namespace {
template <typename T>
bool allocate(T*& table, int count) {
  if (!table) table = static_cast<T*>(std::calloc(size_t(count), sizeof(T)));
  return table != nullptr;
}
template <typename T>
void clear(T* table, int count) {
  if (table) std::memset(static_cast<void*>(table), 0, size_t(count) * sizeof(T));
}
}  // namespace

bool allocate_thread_eval_tables(Position& pos) {
  return allocate(pos.materialTable, MaterialTableSize) && allocate(pos.pawnHash, PawnHashSize) &&
         allocate(pos.bishopMobilityCache, BishopMobilityCacheSize);
}

void free_thread_eval_tables(Position& pos) {
  std::free(pos.materialTable);
  std::free(pos.pawnHash);
  std::free(pos.bishopMobilityCache);
  pos.materialTable = nullptr;
  pos.pawnHash = nullptr;
  pos.bishopMobilityCache = nullptr;
}

void clear_material_table(Position& pos) { clear(pos.materialTable, MaterialTableSize); }
void clear_pawn_hash(Position& pos) { clear(pos.pawnHash, PawnHashSize); }
void clear_bishop_mobility_cache(Position& pos) { clear(pos.bishopMobilityCache, BishopMobilityCacheSize); }
