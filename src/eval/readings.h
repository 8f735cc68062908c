// Experimental readings of evaluation terms whose exact form is open, to be measured in games
// before one of them becomes the rule. Only a build configured with TARROW_ABLATION reads them
// (from the environment variable TARROW_READINGS, a comma-separated list of names, at start-up);
// in a normal build every reading is a compile-time "off" and its code is dead.
// Measured in self-play at 25000 nodes a move, 400 games each against the normal build (600 for
// the locked wings): none of them plays stronger (king endgame +1, open file +1, queen flag -1,
// rook terms -3, zone pieces -24, each +-30 Elo; locked wings by files -6 +-25), so the normal
// build keeps the flags clear, the rook terms out and the locked wings read by the king's rank.
#pragma once

#include <cstdint>

enum class EvalReading : uint32_t {
  KingEndgameFlag,  // queenless middle games: king safety in its endgame form
  OpenFileFlag,     // a root with an open file: the castled wing fears the open a/h-file only
  QueenFlag,        // opening stage: no bonus for a queen on the enemy king's wing
  RookPawnTerms,    // rooks behind their own pawns: shut in by the king, hemmed, closed file
  ZonePiecesOnly,   // king safety's distinct attackers of the king zone leave out pawns
  LockedWingFiles,  // a locked wing shelters a king standing on that wing's files (not ranks)
  QueenInZone,      // queen contacts with the king zone count only for a queen standing in it
  SpreadScale,      // narrow pawn structures scale the whole score like the known endings do
  KnightC3KingFile, // the knight blocking the c-pawn counts against a king on files e to h
  Count
};

#if TARROW_ABLATION
extern uint32_t ChosenReadings;
inline bool reading_on(EvalReading r) { return (ChosenReadings & (1u << uint32_t(r))) != 0; }
// Reads TARROW_READINGS; returns false and names the first unknown reading in `bad`.
bool read_evaluation_readings(const char*& bad);
#else
constexpr bool reading_on(EvalReading) { return false; }
inline bool read_evaluation_readings(const char*&) { return true; }
#endif
