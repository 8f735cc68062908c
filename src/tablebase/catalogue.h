// The fixed list of endgame classes: every material with 1 to 4 pieces besides the kings,
// each named by its first-named (stronger) side, with the table layout of each class.
// Classes are found by number, by name or by material.
#pragma once

#include "tablebase/class.h"

namespace tb {

// The class table, built once on first use (thread-safe) and read-only afterwards.
const TbClass& tb_class(int number);

// Class number of a material (counts by side and type, index 0 unused), ignoring whether any
// file is present: positive when side 0 is the first-named side, negative when the colours are
// exchanged, 0 when no class holds it.
int tb_class_of_material(const int counts[2][6]);

// Looks a class up by its name ("kqkr"); 0 when unknown.
int tb_class_by_name(const char* name);

}  // namespace tb
