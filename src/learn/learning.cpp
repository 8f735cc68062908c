#include "learn/learning.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/game.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/zobrist.h"
#include "core/options.h"
#include "core/output.h"
#include "platform/record_file.h"
#include "search/search.h"
#include "search/transposition.h"

namespace {

constexpr int MergeBatch = 100;
constexpr int MaxBoardDifference = 28;
constexpr int MaxExtraPieces = 10;
constexpr int MergedSlotsCapacity = 4096;
constexpr int InspectedRecords = 64;  // records whose form is checked before the file is used
constexpr int ShortestTornRecord = 16;  // a lone partial record must show its fixed bytes

enum class FileVerdict { Unchecked, Usable, SetAside };
FileVerdict Verdict = FileVerdict::Unchecked;

// Bytes 0..15 of a record have the layout of a table entry before its check word is formed.
struct LearningRecord {
  uint8_t bytes[LearningRecordSize];

  uint32_t word(int offset) const {
    return uint32_t(bytes[offset]) | uint32_t(bytes[offset + 1]) << 8 |
           uint32_t(bytes[offset + 2]) << 16 | uint32_t(bytes[offset + 3]) << 24;
  }
  void set_word(int offset, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[offset + i] = uint8_t(v >> (8 * i));
  }
  uint32_t lock_key() const { return word(0); }
  Move best_move() const { return word(4); }
  int32_t score() const { return int16_t(uint16_t(bytes[12] | bytes[13] << 8)); }
  int depth() const { return int8_t(bytes[14]); }
  uint8_t bound() const { return bytes[15]; }
  uint32_t index_key() const { return word(16); }
  uint32_t signature() const { return word(20); }
  int side() const { return bytes[24]; }
  int pieces() const { return bytes[25]; }
  Move reply() const { return word(28); }
  const uint8_t* board() const { return bytes + 32; }
};
static_assert(sizeof(LearningRecord) == LearningRecordSize);

LearningRecord Candidate;
SlotRef MergedSlots[MergedSlotsCapacity];
int MergedCount = 0;

// A table entry with its check word, from the words a record or a reply entry carries.
TTEntry checked_entry(uint32_t lockKey, uint32_t move, uint32_t move2, uint32_t data) {
  TTEntry e{0, move, move2, data};
  e.check = lockKey ^ move ^ move2 ^ data;
  return e;
}

int pieces_on_game_board() {
  int n = 0;
  for (Square s = 1; s <= 64; ++s) n += GameBoard.board[s] != Empty;
  return n;
}

long record_count(FILE* f) {
  if (std::fseek(f, 0, SEEK_END) != 0) return 0;
  const long size = std::ftell(f);
  return size > 0 ? size / LearningRecordSize : 0;
}

// The file may have been spoilt by anything: what a record says must at least be something
// the search could have written. Its moves are checked against the board where they are used.
bool plausible(const LearningRecord& r) {
  const uint8_t bound = r.bound();
  return r.side() <= 1 && r.pieces() >= 2 && r.pieces() <= 32 && r.score() >= -MateScore &&
         r.score() <= MateScore && r.depth() >= 1 && r.depth() < MaxPly &&
         (bound == 0 || bound == 0x40 || bound == 0x80);
}

bool is_piece_code(uint8_t c) { return c < 16 && (c & 7) != 0 && (c & 7) != 4; }

// The bytes of a record whose form is fixed, as far as `n` of them are present (a torn last
// record has fewer than 96): the zero word at 8, the bound flags, the side to move, the zero
// reserved bytes and the board's piece codes. Keys, moves, score and depth may be anything.
bool record_start_well_formed(const uint8_t* b, int n) {
  for (int i = 8; i < 12 && i < n; ++i)
    if (b[i] != 0) return false;
  if (n > 15 && b[15] != 0 && b[15] != 0x40 && b[15] != 0x80) return false;
  if (n > 24 && b[24] > 1) return false;
  for (int i = 26; i < 28 && i < n; ++i)
    if (b[i] != 0) return false;
  for (int i = 32; i < n; ++i)
    if (b[i] != Empty && !is_piece_code(b[i])) return false;
  return true;
}

// A whole record as the engine writes it: the fixed bytes, and a board of a game position
// (one king a side, at most 16 men a side) whose men the piece count at 25 counts.
bool record_well_formed(const uint8_t* b) {
  if (!record_start_well_formed(b, LearningRecordSize)) return false;
  int men[2] = {0, 0}, kings[2] = {0, 0};
  for (int i = 32; i < LearningRecordSize; ++i) {
    if (b[i] == Empty) continue;
    ++men[b[i] >> 3];
    kings[b[i] >> 3] += (b[i] & 7) == WhiteKing;
  }
  return kings[0] == 1 && kings[1] == 1 && men[0] <= 16 && men[1] <= 16 &&
         men[0] + men[1] == b[25];
}

// Whether the file holds what this engine writes: the first and the last whole record and
// records spread evenly between them are well formed, and a partial last record starts like
// one. A file of nothing but a partial record must show at least its fixed bytes up to the
// bound flags. Anything else (a text, another program's data) is not ours to change.
bool looks_like_learning_file(FILE* f) {
  if (std::fseek(f, 0, SEEK_END) != 0) return false;
  const long size = std::ftell(f);
  if (size < 0) return false;
  const long whole = size / LearningRecordSize;
  const int torn = int(size % LearningRecordSize);
  if (whole == 0 && torn > 0 && torn < ShortestTornRecord) return false;
  uint8_t bytes[LearningRecordSize];
  const long samples = whole < InspectedRecords ? whole : InspectedRecords;
  for (long i = 0; i < samples; ++i) {
    const long record = samples == 1 ? 0 : i * (whole - 1) / (samples - 1);
    if (std::fseek(f, record * LearningRecordSize, SEEK_SET) != 0 ||
        std::fread(bytes, LearningRecordSize, 1, f) != 1 || !record_well_formed(bytes))
      return false;
  }
  if (torn == 0) return true;
  return std::fseek(f, whole * LearningRecordSize, SEEK_SET) == 0 &&
         std::fread(bytes, 1, size_t(torn), f) == size_t(torn) &&
         record_start_well_formed(bytes, torn);
}

// Stores the record's entry in the primary slot of its position (the displaced entry of
// another position moves to the secondary slot); a permanent entry there is left alone.
void store_record(const LearningRecord& r) {
  const uint32_t entries = TransTable.entries;
  if (!entries) return;
  const SlotRef primary{uint8_t(r.side() * 2), r.index_key() % entries};
  const SlotRef secondary{uint8_t(r.side() * 2 + 1), primary.index};
  const TTEntry old = read_slot(primary);
  if (old.generation() == GenerationPermanent) return;
  if (old.is_zero() || old.key() != r.lock_key()) write_slot(secondary, old);
  const uint32_t data = r.word(12);
  write_slot(primary, checked_entry(r.lock_key(), r.best_move(), 0, data));
  if (MergedCount < MergedSlotsCapacity) MergedSlots[MergedCount++] = primary;
}

// A record of the root position itself: its expected reply goes into the table for the
// position after its best move, with the score and the bound seen from the other side.
bool store_expected_reply(Position& pos, PlyState& root, const LearningRecord& r) {
  if (r.lock_key() != root.lockKey || r.index_key() != root.indexKey || r.side() != root.side)
    return false;
  if (!r.reply() || !r.best_move() || !move_is_possible(pos, root, r.best_move())) return false;
  root.move = r.best_move();
  PlyState* next = make_move(pos, root);
  if (next && TransTable.entries) {
    const SlotRef slot{uint8_t(next->side * 2), next->indexKey % TransTable.entries};
    if (read_slot(slot).generation() != GenerationPermanent) {
      uint8_t bound = 0;
      if (r.bound() == 0x40) bound = 0x80;
      else if (r.bound() == 0x80) bound = 0x40;
      const uint32_t data = uint32_t(uint16_t(-r.score())) | uint32_t(uint8_t(r.depth() - 1)) << 16 |
                            uint32_t(bound) << 24;
      write_slot(slot, checked_entry(next->lockKey, r.reply(), 0, data));
    }
  }
  if (next) unmake_move(pos, *next);
  root.move = NoMove;
  return true;
}

}  // namespace

uint32_t learning_signature() {
  const uint32_t* z = &ZobristIndex[0][0];
  constexpr uint32_t Words = 16 * 65;
  uint32_t m = 1, signature = 0;
  // A running mixer over the key table. The table holds zeros (square 0 of every piece row);
  // where the mixer lands on one it takes the next word rotated, and keeps its own state, so
  // that the values v and v + 1 never give the same signature (stepping the state on to the
  // next word instead would make them collide, and a "Style" change would go unnoticed).
  auto mix = [&](int32_t value) {
    const uint32_t a = uint32_t(value) + 2 * m;
    m = a;
    const uint32_t w = z[a % Words];
    if (w != 0) {
      signature ^= w;
    } else {
      const uint32_t next = z[(a + 1) % Words];
      signature ^= (next << 1) | (next >> 31);
    }
  };
  const EngineOptions& o = Options;
  for (int32_t v : {o.UseTablebases, o.TablebaseDepthBias, o.TablebaseHitPercent, o.KeepHashSecond,
                    o.KeepHashMain})
    mix(v);
  for (int w : {WeightQueen, WeightRook, WeightBishop, WeightKnight, WeightPawn, WeightQueenEnd,
                WeightRookEnd, WeightBishopEnd, WeightKnightEnd, WeightPawnEnd, WeightKingSafety,
                WeightPassedPawns, WeightPassedPawnsEnd, WeightPawnStructure, WeightPawnStructureEnd,
                WeightCenterControl, WeightBishopPair, WeightBishopPairEnd, WeightEvalPercent})
    mix(o.EvalWeights[w]);
  for (int32_t v : {o.DrawScore, o.Selectivity, o.ForwardPruning, o.PreferOpen, o.StyleFlags[0],
                    o.StyleFlags[2], o.CombinationFlags[0], o.CombinationFlags[1], o.StyleFlags[1]})
    mix(v);
  for (const char* c = "9 UCI"; *c; ++c) mix(*c);
  for (int32_t v : {o.Test1, o.Test2, o.Test3, 1}) mix(v);
  return signature;
}

void trim_learning_file() {
  Verdict = FileVerdict::SetAside;
  switch (path_kind(LearningFileName)) {
    case PathKind::Missing:
      Verdict = FileVerdict::Usable;  // the first record creates it
      return;
    case PathKind::Other:
      send_info_string("%s is not a regular file, position learning does not use it",
                       LearningFileName);
      return;
    case PathKind::RegularFile:
      break;
  }
  FILE* f = open_records_for_reading(LearningFileName);
  if (!f) return;  // unreadable: set aside quietly, like a missing feature
  const bool ours = looks_like_learning_file(f);
  std::fclose(f);
  if (!ours) {
    send_info_string("%s does not hold learning records, position learning does not use it",
                     LearningFileName);
    return;
  }
  Verdict = FileVerdict::Usable;
  trim_record_file(LearningFileName, LearningRecordSize, LearningTrimThreshold, LearningTrimKeep);
}

bool learning_file_usable() {
  // A file set aside that the user has since removed no longer stands in the way.
  if (Verdict == FileVerdict::SetAside && path_kind(LearningFileName) == PathKind::Missing)
    Verdict = FileVerdict::Unchecked;
  if (Verdict == FileVerdict::Unchecked) trim_learning_file();
  return Verdict == FileVerdict::Usable;
}

void recheck_learning_file() { Verdict = FileVerdict::Unchecked; }

void set_learning_candidate(int depth, int32_t score, int kind, Move best) {
  std::memset(Candidate.bytes, 0, 16);
  Candidate.set_word(4, best);
  const uint16_t s = uint16_t(score);
  Candidate.bytes[12] = uint8_t(s);
  Candidate.bytes[13] = uint8_t(s >> 8);
  Candidate.bytes[14] = uint8_t(int8_t(depth));
  Candidate.bytes[15] = kind == LearningPvLine ? 0x80 : kind == LearningUpper ? 0x40 : 0;
}

void append_learning_record(const PlyState& root, Move reply) {
  if (!learning_file_usable()) return;
  Candidate.set_word(0, root.lockKey);
  Candidate.set_word(16, root.indexKey);
  Candidate.set_word(20, learning_signature());
  Candidate.bytes[24] = root.side;
  Candidate.bytes[25] = uint8_t(pieces_on_game_board());
  Candidate.bytes[26] = Candidate.bytes[27] = 0;
  Candidate.set_word(28, reply);
  std::memcpy(Candidate.bytes + 32, GameBoard.board + 1, 64);
  const uint16_t s = uint16_t(Candidate.bytes[12] | Candidate.bytes[13] << 8) + uint16_t(Options.DrawScore);
  Candidate.bytes[12] = uint8_t(s);
  Candidate.bytes[13] = uint8_t(s >> 8);
  append_record(LearningFileName, Candidate.bytes, LearningRecordSize);
}

bool merge_learned_positions(Position& pos, PlyState& root) {
  MergedCount = 0;
  if (!learning_file_usable()) return false;
  const uint32_t signature = learning_signature();
  const int pieces = pieces_on_game_board();
  FILE* f = open_records_for_reading(LearningFileName);
  if (!f) return false;
  const long n = record_count(f);
  const long first = n - long(TransTable.entries / 2);
  std::fseek(f, (first > 0 ? first : 0) * LearningRecordSize, SEEK_SET);
  bool rootApplied = false;
  LearningRecord batch[MergeBatch];
  for (size_t got; (got = std::fread(batch, LearningRecordSize, MergeBatch, f)) > 0;) {
    for (size_t i = 0; i < got; ++i) {
      const LearningRecord& r = batch[i];
      if (r.signature() != signature || !plausible(r)) continue;
      if (Options.PreferOpen && r.side() != root.side) continue;
      if (pieces < r.pieces() || pieces > r.pieces() + MaxExtraPieces) continue;
      int differences = 0;
      for (int s = 0; s < 64; ++s) differences += r.board()[s] != GameBoard.board[s + 1];
      if (differences > MaxBoardDifference) continue;
      store_record(r);
      rootApplied |= store_expected_reply(pos, root, r);
    }
  }
  std::fclose(f);
  return rootApplied;
}

void keep_merged_entries_permanent() {
  for (int i = 0; i < MergedCount; ++i) {
    const TTEntry e = read_slot(MergedSlots[i]);
    if (!e.is_zero()) add_permanent_entry(MergedSlots[i], e);
  }
}

void clear_learning_file() {
  std::remove(LearningFileName);
  recheck_learning_file();
  clear_analysis_memory();
}

void clear_analysis_memory() { clear_permanent_entries(); }
