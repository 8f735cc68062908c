// The Position: one per search thread. Board, piece lists, incrementally kept attack tables,
// the ply-state stack and the move stacks, plus the thread-owned fields of the search.
#pragma once

#include <cstddef>
#include <cstdint>

#include "board/types.h"
#include "platform/relaxed.h"

// ---- Capacities -----------------------------------------------------------------------------
// Chosen so that no legal chess position (and no position the FEN parser accepts: at most 16
// men a side) can overflow them.
constexpr int MaxPly = 100;               // ply records 0..99; one spare record for make_move at 99
constexpr int ColourListSize = 17;        // king + 15 other men + closing 0
constexpr int TypeListCapacity = 16;      // every non-king man of a side could be one type
constexpr int AttackSlots = 16;           // one colour can attack a square with all 16 men
constexpr int CapturedStackSize = 33;     // 30 capturable men plus room to spare
constexpr int RepetitionStackSize = 256;  // 101 game keys + 100 plies of the search
constexpr int MovesPerPly = 256;          // the largest position has 218 legal moves
constexpr int QuietStackSize = MaxPly * MovesPerPly;
constexpr int CaptureStackSize = MaxPly * MovesPerPly;
constexpr int HistorySize = 8256;         // to * 128 + from, to <= 64
constexpr uint8_t CapturedMark = 99;      // colour-list slot of a captured man
// Attack entries one board step of make_move can change. A slider or king attacks at most 27
// squares (a queen in the centre of an empty board). A step makes four kinds of change: the
// mover's attacks removed at the from-square and added at the to-square, the lines through the
// from-square opened, and either the captured man's attacks removed or the lines through the
// to-square closed. Lines through a square: each of the eight directions from it holds at most
// one attacker (the first man that way, of either colour), whose line goes on along the
// opposite ray, so all of them together cover at most the 27 squares a queen there would see.
constexpr int MaxAttackChangesPerStep = 4 * 27;
// Castling and en passant are two steps; MaxPly moves can be made at once, one from each record.
constexpr int AttackLogSize = MaxPly * 2 * MaxAttackChangesPerStep;

// ---- Per-ply record -------------------------------------------------------------------------
struct PlyState {
  uint8_t side;            // side to move (0 white, 1 black)
  uint8_t hanging;         // search: the man that made the last move stands en prise
  uint8_t evalAlert;       // set by the full evaluation; cleared by make_move
  uint8_t ply;             // ply number from the root
  uint8_t checks[2];       // times white / black have been put in check since the root
  uint8_t pieces;          // men on the board, kings included
  uint8_t generated;       // bit 0: captures generated, bit 1: quiet moves generated
  uint8_t phase[2];        // PhaseWeight sums
  uint8_t pickStage;       // search: move-picker stage; cleared by make_move
  uint8_t capturedTypes;   // bits of the piece types captured since the root
  uint8_t generatedCount;  // moves generated at this ply (wraps at 256)
  uint8_t movesTried;      // search: moves made at this node; cleared by make_move
  uint16_t attackLogTop;   // undo-log records in use by the moves that led here
  uint32_t flags;          // en-passant square, castling rights, InCheckFlag, search bits 11-15
  uint32_t indexKey, lockKey;
  uint32_t pawnKey, pawnLock;
  const uint32_t* repStart;  // start of the repetition window (last irreversible move)
  MoveEntry* quietBegin;
  MoveEntry* captureBegin;
  MoveEntry* quietEnd;     // where the next entry goes; after generation, past the sentinel
  MoveEntry* captureEnd;
  Move move;               // the move made from this ply
  // The two moves that generation leaves out (the search has already tried them here).
  Move hashMove;
  Move hashMove2Tried;
  Move hashMove2;          // search: second table move
  Move bestMove;           // search
  int32_t bestScore;       // search
  int32_t material[2];     // exchange values of each side's men, kings not counted
  int32_t signature[2];    // MaterialSignature of each side
  int32_t score;           // incremental piece-square score, side to move's view
};

// The side to move at this ply stands in check (make_move sets the flag).
inline bool in_check(const PlyState& ply) { return (ply.flags & InCheckFlag) != 0; }

// ---- Attack tables --------------------------------------------------------------------------
// For one colour and one square: how many men of that colour attack it, how many of them are
// sliders, and their squares (the first `count` entries are valid, in no particular order).
struct AttackEntry {
  int32_t count;
  int32_t sliders;
  uint8_t squares[AttackSlots];
};

// One record of make_move's undo log: an attack entry as it was before the move changed it,
// and which one it was, as its byte offset in attacks[2][SquareCount] (the take-back then
// needs no index arithmetic).
struct AttackUndo {
  AttackEntry before;
  uint16_t offset;
};

// A per-type list holds colour-list slot indices of one piece code's men (captured ones stay
// listed and read CapturedMark through their slot).
struct TypeList {
  uint8_t slot[TypeListCapacity];
  uint8_t count;
};

struct Killers {
  Move move[2];
  int32_t count[2];
};

struct MaterialEntry;
struct PawnEntry;
struct BishopMobilityEntry;

// ---- The Position ---------------------------------------------------------------------------
// Colour-list slots are indexed flat: colour c's list occupies slotSquare[c * ColourListSize ...];
// slot 0 of a list is the king, the list ends with a 0.
struct Position {
  uint8_t board[SquareCount];       // piece codes; board[0] = OffBoard
  uint8_t threadIndex;              // 0 = main thread
  uint8_t squareSlot[SquareCount];  // flat slot index of the man on each occupied square
  uint8_t slotSquare[2 * ColourListSize];
  uint8_t slotCode[2 * ColourListSize];  // piece code of each slot when the lists were built
  TypeList typeList[16];            // used for the knight, bishop, rook and queen codes
  uint8_t pieceCount[16];
  AttackEntry attacks[2][SquareCount];
  // Old contents of the entries the moves on the stack changed, in the order they changed;
  // taking a move back copies its records back in reverse.
  AttackUndo attackLog[AttackLogSize];
  uint8_t capturedStack[CapturedStackSize];  // flat slots of captured men, in capture order
  int capturedTop;
  uint32_t repStack[RepetitionStackSize];    // lockKeys of the game and the current line
  uint32_t* repTop;                          // last pushed key

  // Search-owned fields.
  Relaxed<uint64_t> nodes;  // summed by the main thread while this thread counts
  int32_t nullDepth, refutationDepth, singularDepth, multiCutDepth;
  uint32_t threadBit, threadMask;
  Killers killers[MaxPly + 1];
  int32_t history[2][HistorySize];

  // Per-thread evaluation caches (allocated by the evaluation subsystem).
  MaterialEntry* materialTable;
  PawnEntry* pawnHash;
  BishopMobilityEntry* bishopMobilityCache;

  PlyState plies[MaxPly + 1];
  MoveEntry quietStack[QuietStackSize];
  MoveEntry captureStack[CaptureStackSize];
};

// The piece-square table that make_move reads: a man's value to its owner on each square.
// Filled by the root evaluation preparation before every search; all zero until then.
extern int32_t PieceSquareTable[16][SquareCount];
// White's-view offset that the root score carries on top of the plain piece-square sum (the
// root keeps the pawn values it had before the root preparation adjusted the pawn entries).
extern int32_t PieceSquareOffset;

// Colour list of a side: slot 0 the king, then the other men, closed by 0.
inline uint8_t* colour_list(Position& pos, int colour) {
  return pos.slotSquare + colour * ColourListSize;
}
inline const uint8_t* colour_list(const Position& pos, int colour) {
  return pos.slotSquare + colour * ColourListSize;
}
inline Square king_square(const Position& pos, int colour) {
  return pos.slotSquare[colour * ColourListSize];
}
inline const AttackEntry& attack_entry(const Position& pos, int colour, Square s) {
  return pos.attacks[colour][s];
}
