// The material table: an imbalance score and a scaling percentage per material configuration,
// cached per search thread.
#pragma once

#include <cstdint>

#include "board/position.h"

constexpr uint8_t MaterialWhiteUpExchange = 1;  // rooks plus minors equal, White has more rooks
constexpr uint8_t MaterialBlackUpExchange = 2;
constexpr uint8_t MaterialMinorsEqual = 4;      // rooks equal and minor pieces equal

struct MaterialEntry {
  uint32_t key;    // White's signature << 16 | Black's signature
  int16_t score;   // White's view
  int8_t scale;    // percentage for the whole evaluation, 0 = none
  uint8_t flags;
};
static_assert(sizeof(MaterialEntry) == 8);

constexpr int MaterialTableSize = 4096;

// One side's men by kind, as the material signature counts them, with its phase weight and
// material sum.
struct MaterialCounts {
  int pawns, knights, lightBishops, darkBishops, rooks, queens;
  int weight;
  int32_t material;
};

// The men a signature stands for (up to three of each kind but pawns; bishops by square colour).
MaterialCounts material_counts(int32_t signature, int weight, int32_t material);

// The entry for the material of `ply`, computed on a miss.
const MaterialEntry& MaterialLookup(Position& pos, const PlyState& ply);
void ComputeMaterialEntry(MaterialEntry& entry, const PlyState& ply);
// Score, scale and flags of an entry (not its key) from the men of each side.
void ComputeMaterialFromCounts(MaterialEntry& entry, const MaterialCounts& white,
                               const MaterialCounts& black);
// Slot of a material configuration in the table.
uint32_t material_index(int32_t whiteSignature, int32_t blackSignature);
