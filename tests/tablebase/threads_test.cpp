// Probes from several threads at once through a small cache: every answer is the one a
// single thread gets, while the threads keep evicting each other's blocks.
#include <gtest/gtest.h>

#include <random>
#include <thread>
#include <vector>

#include "tables.h"
#include "tablebase/interface.h"

namespace {

struct Query {
  int counters[10];
  int white[24], black[24];
  int side;
  int result;
  int found;
};

TEST(TablebaseThreads, ConcurrentProbesAgreeWithOneThread) {
  // kqkr is 231 blocks a side: a 1 MB cache of 126 blocks keeps replacing them.
  ASSERT_EQ(TBInitExtern(tbtest::generated_tables().c_str(), 1024), 4);
  std::mt19937 random(11);
  std::vector<Query> queries;
  while (queries.size() < 40000) {
    Query q{};
    int squares[4];
    for (int& s : squares) s = int(random() % 64);
    if (squares[0] == squares[1] || squares[0] == squares[2] || squares[0] == squares[3] ||
        squares[1] == squares[2] || squares[1] == squares[3] || squares[2] == squares[3])
      continue;
    q.counters[4] = 1;  // white queen
    q.counters[8] = 1;  // black rook
    q.white[0] = squares[0];
    q.white[20] = squares[1];
    q.black[0] = squares[2];
    q.black[16] = squares[3];
    q.side = int(random() % 2);
    q.found = TBProbeList(q.counters, q.white, q.black, q.side, 0, &q.result);
    queries.push_back(q);
  }
  long disagreements[4] = {0, 0, 0, 0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int round = 0; round < 2; ++round)
        for (size_t i = t; i < queries.size(); i += 2) {
          const Query& q = queries[i];
          int result = 12345;
          const int found = TBProbeList(q.counters, q.white, q.black, q.side, 0, &result);
          if (found != q.found || (found && result != q.result)) ++disagreements[t];
        }
    });
  for (auto& th : threads) th.join();
  for (long d : disagreements) EXPECT_EQ(d, 0);
  TBExit();
}

}  // namespace
