// One iteration of the MultiPV root search (main thread only): every root move is searched in
// the order of the last ranking; the shown lines get real windows around their last scores,
// the others a zero window above the weakest shown line.
#pragma once

#include "board/position.h"

void search_multipv(Position& pos, int depth);
