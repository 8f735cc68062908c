// Inside of the tablebase module: the catalogue of files found, the material lookup of the
// classes that have files, and reading entries through the block cache.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "platform/threads.h"
#include "tablebase/catalogue.h"

namespace tb {

constexpr int MaxFileParts = 18;
constexpr int BlockBytes = 8192;
constexpr int BucketCount = 32;
constexpr uint32_t BlocksPerPart = 1u << 18;

// Blocks of one table side held in the cache: 32 chains chosen by the block number.
struct BlockDirectory {
  SpinLock lock[BucketCount];
  int32_t head[BucketCount];
};

// Files of one table side of a class.
struct TableSide {
  char* fileName[MaxFileParts];   // null: this part is not catalogued
  FILE* file[MaxFileParts];       // opened on demand
  const void* compressed[MaxFileParts];  // descriptor of a compressed part (none are usable)
  SpinLock fileLock;
  BlockDirectory* directory;
  bool wide;  // 16-bit entries: the class says so, or the file is twice the 8-bit length
};

struct ModuleTables {
  TableSide sides[ClassCount][2];
  int maxMen;
};
ModuleTables& tables();

// Material lookup of the classes with at least one file.
void material_clear();
void material_enter(int classNumber);
// counters: white pawns, knights, bishops, rooks, queens, then the same for black.
int material_find(const int* counters);

// Catalogues the tables in the directories of the path list; returns the maximum men.
int catalogue_paths(const char* pathList);
bool side_catalogued(int classNumber, int side);
// Files in the catalogue (every part of every table side counts).
int catalogued_file_count();
void close_all_files();
void forget_catalogue();
// Number of parts of a class's table side.
int part_count(const TbClass& cls);
// Bytes of one part of a table side: 2 GB for all but the last part of a split table.
uint64_t part_bytes(const TbClass& cls, int part, bool wide);
// File name of one part: directory, class name, part character, side extension.
void part_file_name(char* out, size_t capacity, const char* directory, const TbClass& cls,
                    int part, int side);

// Checks of a compressed table's header (length, block size, fixed bytes, checksum). The block
// format itself is unknown here, so no compressed file is ever catalogued.
uint32_t header_checksum(const uint8_t* bytes, size_t length);
bool compressed_header_valid(const uint8_t* header, size_t length);

// Block cache over `bytes` of memory (entries of 8260 bytes); false when none is obtained.
bool cache_setup(size_t bytes);
void cache_release();
int cache_entry_count();
// One byte of a table side; false when the block cannot be read.
bool cache_read_byte(int classNumber, int side, uint32_t block, uint32_t offset, uint8_t& out);

// Stored value of one entry (see values.h), NotAvailable when it cannot be read.
int32_t read_entry(int classNumber, int side, uint64_t index);

}  // namespace tb
