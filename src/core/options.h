// The option variables that "setoption" writes and every subsystem reads. Written only by the
// main thread while no search runs; plain data with no dependencies, so that the evaluation,
// the search, the learning file and the tablebase binding can all read it.
#pragma once

#include <cstdint>

// Indices into EngineOptions::EvalWeights (percentages; 100 = as designed).
enum EvalWeightIndex : int {
  WeightPawn, WeightKnight, WeightBishop, WeightRook, WeightQueen,
  WeightPawnEnd, WeightKnightEnd, WeightBishopEnd, WeightRookEnd, WeightQueenEnd,
  WeightKingSafety, WeightPawnStructure, WeightPawnStructureEnd,
  WeightPassedPawns, WeightPassedPawnsEnd, WeightCenterControl,
  WeightBishopPair, WeightBishopPairEnd,
  WeightEvalPercent,  // the 19th percentage, no option sets it (always 100)
  EvalWeightCount
};

constexpr int NalimovPathCapacity = 512;  // a path keeps at most 511 characters

struct EngineOptions {
  // "Hash": kilobytes of the transposition table and of the evaluation cache.
  int32_t HashTableKB;
  int32_t EvalCacheKB;
  char NalimovPathValue[NalimovPathCapacity];
  int32_t NalimovCacheMB;
  bool TablebasesDirty;
  int32_t PonderEnabled;
  int32_t MultiPVCount;
  int32_t AnalyseMode;
  int32_t ShowCurrLine;
  int32_t ShowRefutations;
  int32_t LimitStrength;
  int32_t EloSetting;
  int32_t KeepHashMain;
  int32_t KeepHashSecond;
  int32_t PositionLearning;
  int32_t PreferOpen;
  int32_t UseTablebases;
  int32_t TablebaseDepthBias;
  int32_t TablebaseHitPercent;
  int32_t EvalWeights[EvalWeightCount];
  int32_t TimeUsage;
  int32_t KnowledgeOrSpeed;
  int32_t DrawScore;
  int32_t Selectivity;
  int32_t ForwardPruning;
  int32_t StyleFlags[3];        // "Style": Intelligent 1,1,1 ... Solid 0,0,0
  int32_t CombinationFlags[2];  // "Combinations": All 1,1 ... None 0,0
  int32_t Test1, Test2, Test3;
  int32_t ThreadCount;          // search threads running (1 in the one-thread program)
};

extern EngineOptions Options;

// Sets every option variable to its initial value. ThreadCount is left alone: it counts the
// threads that actually run.
void reset_options();
