/* The tablebase module's exported interface: eight functions with C names, so that another
   program that loads this one (or libtarrowtb.so) can probe the same tables. */
#ifndef TARROW_TABLEBASE_INTERFACE_H
#define TARROW_TABLEBASE_INTERFACE_H

#ifdef __cplusplus
extern "C" {
#endif

#define TB_EXPORT __attribute__((visibility("default")))

/* Catalogues the tables of a path list (directories separated by "," or ";") with a cache of
   cacheKB kilobytes (1 MB at least); returns the largest number of men of any table found. */
TB_EXPORT int TBInitExtern(const char* pathList, int cacheKB);
/* The same with the path and cache size of the settings file "Kestrel.ini"; returns the
   number of initialisations now held. */
TB_EXPORT int TBInit(void);
/* Gives up one initialisation; the last one closes everything and returns 1. */
TB_EXPORT int TBExit(void);
/* counters: white pawns, knights, bishops, rooks, queens, then black's; the square lists hold
   the king in slot 0 and pieces of type t in slots 4t..4t+3 (a1 = 0 .. h8 = 63); side 0 White
   to move; ep the en-passant target or 0. Writes 0 (draw), N (mate in N) or -(k+1) (mated in k)
   and returns 1, or returns 0 when no table answers. */
TB_EXPORT int TBProbeList(const int* counters, const int* whiteList, const int* blackList,
                          int side, int ep, int* result);
TB_EXPORT int TBMaxPiece(void);
/* buffer[i] = 1 for each class i with files for both sides to move; returns n. */
TB_EXPORT int TBHasEndgames(unsigned char* buffer, int n);
TB_EXPORT int TBNewGame(void);
TB_EXPORT int TBGetDecompressTableSize(void);

#ifdef __cplusplus
}
#endif

#endif
