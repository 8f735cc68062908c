// Every 3-man position of the generated tables against Debian's Gaviota tables, an
// independent implementation used here only as an oracle through its public header.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "placement.h"
#include "tables.h"
#include "tablebase/catalogue.h"
#include "tablebase/interface.h"

#if TARROW_HAVE_GAVIOTA
#include <gtb-probe.h>
#endif

namespace {

constexpr const char* GaviotaTables = "/usr/share/gaviotatb/gtb1";

TEST(TablebaseOracle, ThreeManTablesAgreeWithGaviota) {
#if !TARROW_HAVE_GAVIOTA
  GTEST_SKIP() << "libgaviotatb-dev is not installed (tools/install-deps.sh installs it)";
#else
  struct stat info;
  if (stat(GaviotaTables, &info) != 0) GTEST_SKIP() << "no Gaviota tables in " << GaviotaTables;
  const char** paths = tbpaths_add(tbpaths_init(), GaviotaTables);
  tb_init(0, tb_CP1, paths);
  tbcache_init(4 * 1024 * 1024, 0);
  ASSERT_EQ(TBInitExtern(tbtest::generated_tables().c_str(), 4096), 4);

  for (const char* name : {"kpk", "knk", "kbk", "krk", "kqk"}) {
    const tb::TbClass& cls = tb::tb_class(tb::tb_class_by_name(name));
    const unsigned char pieceType = cls.pieces[0][0];
    long compared = 0, wrong = 0;
    for (int owner = 0; owner < 2; ++owner)
      for (int side = 0; side < 2; ++side)
        for (int wk = 0; wk < 64; ++wk)
          for (int bk = 0; bk < 64; ++bk)
            for (int piece = 0; piece < 64; ++piece) {
              if (wk == bk || piece == wk || piece == bk) continue;
              if (pieceType == tb::TbPawn && (piece < 8 || piece >= 56)) continue;
              tbgen::Placement p = tbgen::placement_of_class(cls);
              p.square[0] = wk;
              p.colour[0] = 0;
              p.square[1] = piece;
              p.colour[1] = uint8_t(owner);
              p.square[2] = bk;
              p.colour[2] = 1;
              p.kingOf[0] = 0;
              p.kingOf[1] = 2;
              p.side = side;
              if (p.in_check(1 - side)) continue;
              const int dx = wk % 8 - bk % 8, dy = wk / 8 - bk / 8;
              if (dx >= -1 && dx <= 1 && dy >= -1 && dy <= 1) continue;

              unsigned white[3] = {unsigned(wk), tb_NOSQUARE, tb_NOSQUARE};
              unsigned black[3] = {unsigned(bk), tb_NOSQUARE, tb_NOSQUARE};
              unsigned char whiteTypes[3] = {tb_KING, tb_NOPIECE, tb_NOPIECE};
              unsigned char blackTypes[3] = {tb_KING, tb_NOPIECE, tb_NOPIECE};
              (owner == 0 ? white : black)[1] = unsigned(piece);
              (owner == 0 ? whiteTypes : blackTypes)[1] = pieceType;
              unsigned outcome = 0, plies = 0;
              ASSERT_TRUE(tb_probe_hard(unsigned(side), tb_NOSQUARE, tb_NOCASTLE, white, black,
                                        whiteTypes, blackTypes, &outcome, &plies));
              int expected = 0;  // our result: mate in N moves, or -(k + 1) when mated in k
              if (outcome != tb_DRAW) {
                const bool moverWins = (outcome == tb_WMATE) == (side == 0);
                expected = moverWins ? int(plies + 1) / 2 : -(int(plies / 2) + 1);
              }
              int counters[10] = {};
              int lists[2][24] = {};
              lists[0][0] = wk;
              lists[1][0] = bk;
              ++counters[owner * 5 + pieceType - 1];
              lists[owner][4 * pieceType] = piece;
              int result = 1000;
              ASSERT_EQ(TBProbeList(counters, lists[0], lists[1], side, 0, &result), 1);
              ++compared;
              if (result != expected && ++wrong <= 5)
                ADD_FAILURE() << name << " wk " << wk << " bk " << bk << " piece " << piece
                              << " owner " << owner << " side " << side << ": ours " << result
                              << ", Gaviota " << expected;
            }
    EXPECT_EQ(wrong, 0) << name;
    EXPECT_GT(compared, 300000) << name;
  }
  TBExit();
  tbcache_done();
  tb_done();
  tbpaths_done(paths);
#endif
}

}  // namespace
