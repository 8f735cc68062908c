// The block cache: 8 KB blocks of table files in entries of 8260 bytes, found through the
// 32-chain directory of each table side and recycled in least-recently-used order.
#include <cstdlib>
#include <cstring>

#include "tablebase/module.h"
#include "tablebase/values.h"

namespace tb {
namespace {

struct CacheEntry {
  int32_t classNumber, side;
  uint32_t block;
  int32_t chainPrev, chainNext;    // within the bucket chain
  int32_t recentPrev, recentNext;  // recency list (front = most recent), or the free list
  uint8_t reserved[40];
  uint8_t data[BlockBytes];
};
static_assert(sizeof(CacheEntry) == 8260, "cache entries are 8260 bytes");

struct Cache {
  CacheEntry* entries = nullptr;
  int32_t count = 0;
  int32_t recentHead = -1, recentTail = -1;
  int32_t freeHead = -1;
  SpinLock recentLock;
};
Cache TheCache;

CacheEntry& at(int32_t e) { return TheCache.entries[e]; }

// Recency list operations; the caller holds the recency lock.
void recent_unlink(int32_t e) {
  CacheEntry& x = at(e);
  if (x.recentPrev >= 0) at(x.recentPrev).recentNext = x.recentNext;
  else TheCache.recentHead = x.recentNext;
  if (x.recentNext >= 0) at(x.recentNext).recentPrev = x.recentPrev;
  else TheCache.recentTail = x.recentPrev;
}
void recent_push_front(int32_t e) {
  CacheEntry& x = at(e);
  x.recentPrev = -1;
  x.recentNext = TheCache.recentHead;
  if (TheCache.recentHead >= 0) at(TheCache.recentHead).recentPrev = e;
  TheCache.recentHead = e;
  if (TheCache.recentTail < 0) TheCache.recentTail = e;
}
void free_push(int32_t e) {
  at(e).recentNext = TheCache.freeHead;
  TheCache.freeHead = e;
}

// Bucket chain operations; the caller holds the bucket lock.
void chain_unlink(BlockDirectory& dir, int bucket, int32_t e) {
  CacheEntry& x = at(e);
  if (x.chainPrev >= 0) at(x.chainPrev).chainNext = x.chainNext;
  else dir.head[bucket] = x.chainNext;
  if (x.chainNext >= 0) at(x.chainNext).chainPrev = x.chainPrev;
}
void chain_push_front(BlockDirectory& dir, int bucket, int32_t e) {
  CacheEntry& x = at(e);
  x.chainPrev = -1;
  x.chainNext = dir.head[bucket];
  if (dir.head[bucket] >= 0) at(dir.head[bucket]).chainPrev = e;
  dir.head[bucket] = e;
}

// An entry for a new block: a free one, or the least recently used one taken out of its chain.
int32_t take_entry() {
  for (;;) {
    TheCache.recentLock.lock();
    if (TheCache.freeHead >= 0) {
      const int32_t e = TheCache.freeHead;
      TheCache.freeHead = at(e).recentNext;
      TheCache.recentLock.unlock();
      return e;
    }
    const int32_t back = TheCache.recentTail;
    if (back < 0) {
      TheCache.recentLock.unlock();
      return -1;
    }
    const int32_t cls = at(back).classNumber, side = at(back).side;
    const uint32_t block = at(back).block;
    TheCache.recentLock.unlock();
    BlockDirectory& dir = *tables().sides[cls][side].directory;
    const int bucket = int(block & (BucketCount - 1));
    dir.lock[bucket].lock();
    TheCache.recentLock.lock();
    const bool same = TheCache.recentTail == back && at(back).classNumber == cls &&
                      at(back).side == side && at(back).block == block;
    if (!same) {
      TheCache.recentLock.unlock();
      dir.lock[bucket].unlock();
      continue;
    }
    recent_unlink(back);
    TheCache.recentLock.unlock();
    chain_unlink(dir, bucket, back);
    dir.lock[bucket].unlock();
    return back;
  }
}

bool seek_to(FILE* f, uint64_t offset) {
  constexpr uint64_t Step = uint64_t(1) << 30;
  if (offset < (uint64_t(1) << 31)) return std::fseek(f, long(offset), SEEK_SET) == 0;
  if (std::fseek(f, 0, SEEK_SET) != 0) return false;
  while (offset > 0) {
    const uint64_t step = offset < Step ? offset : Step;
    if (std::fseek(f, long(step), SEEK_CUR) != 0) return false;
    offset -= step;
  }
  return true;
}

// Reads block `block` of a table side into `data`; the caller holds the side's file lock.
bool read_block(TableSide& ts, const TbClass& cls, uint32_t block, uint8_t* data) {
  const bool split = cls.flags & SplitFiles;
  const int part = split ? int(block >> 18) : 0;
  const uint32_t within = split ? block & (BlocksPerPart - 1) : block;
  if (part >= MaxFileParts || !ts.fileName[part] || ts.compressed[part]) return false;
  if (!ts.file[part]) {
    ts.file[part] = std::fopen(ts.fileName[part], "rb");
    if (!ts.file[part]) {
      // Perhaps too many open files: close them all and try once more.
      ts.fileLock.unlock();
      close_all_files();
      ts.fileLock.lock();
      ts.file[part] = std::fopen(ts.fileName[part], "rb");
      if (!ts.file[part]) return false;
    }
  }
  FILE* f = ts.file[part];
  const uint64_t offset = uint64_t(within) * BlockBytes;
  if (!seek_to(f, offset)) return false;
  const size_t got = std::fread(data, 1, BlockBytes, f);
  if (got < size_t(BlockBytes)) {
    // Only the table's last block may be short; a file cut since it was catalogued would
    // otherwise read as draws.
    const uint64_t length = part_bytes(cls, part, ts.wide);
    const uint64_t wanted = length > offset ? length - offset : 0;
    if (std::ferror(f) || got < wanted) return false;
    std::memset(data + got, 0, BlockBytes - got);
  }
  return true;
}

}  // namespace

bool cache_setup(size_t bytes) {
  cache_release();
  const int32_t count = int32_t(bytes / sizeof(CacheEntry));
  if (count <= 0) return false;
  TheCache.entries = static_cast<CacheEntry*>(std::malloc(size_t(count) * sizeof(CacheEntry)));
  if (!TheCache.entries) return false;
  TheCache.count = count;
  for (int32_t e = count - 1; e >= 0; --e) free_push(e);
  return true;
}

void cache_release() {
  std::free(TheCache.entries);
  TheCache.entries = nullptr;
  TheCache.count = 0;
  TheCache.recentHead = TheCache.recentTail = TheCache.freeHead = -1;
}

int cache_entry_count() { return TheCache.count; }

bool cache_read_byte(int classNumber, int side, uint32_t block, uint32_t offset, uint8_t& out) {
  TableSide& ts = tables().sides[classNumber][side];
  if (!ts.directory || TheCache.count == 0) return false;
  BlockDirectory& dir = *ts.directory;
  const int bucket = int(block & (BucketCount - 1));

  dir.lock[bucket].lock();
  for (int32_t e = dir.head[bucket]; e >= 0; e = at(e).chainNext) {
    if (at(e).block != block) continue;
    TheCache.recentLock.lock();
    recent_unlink(e);
    recent_push_front(e);
    TheCache.recentLock.unlock();
    chain_unlink(dir, bucket, e);
    chain_push_front(dir, bucket, e);
    out = at(e).data[offset];
    dir.lock[bucket].unlock();
    return true;
  }
  dir.lock[bucket].unlock();

  const int32_t e = take_entry();
  if (e < 0) return false;
  CacheEntry& entry = at(e);
  entry.classNumber = classNumber;
  entry.side = side;
  entry.block = block;
  ts.fileLock.lock();
  const bool ok = read_block(ts, tb_class(classNumber), block, entry.data);
  if (!ok) {
    // The file is damaged or gone: this table side is not used again in this run.
    const int part = (tb_class(classNumber).flags & SplitFiles) ? int(block >> 18) : 0;
    if (part < MaxFileParts) {
      if (ts.file[part]) std::fclose(ts.file[part]);
      ts.file[part] = nullptr;
      std::free(ts.fileName[part]);
      ts.fileName[part] = nullptr;
    }
    ts.fileLock.unlock();
    TheCache.recentLock.lock();
    free_push(e);
    TheCache.recentLock.unlock();
    return false;
  }
  ts.fileLock.unlock();
  dir.lock[bucket].lock();
  chain_push_front(dir, bucket, e);
  TheCache.recentLock.lock();
  recent_push_front(e);
  TheCache.recentLock.unlock();
  out = entry.data[offset];
  dir.lock[bucket].unlock();
  return true;
}

int32_t read_entry(int classNumber, int side, uint64_t index) {
  const TbClass& cls = tb_class(classNumber);
  if (index >= cls.size) return NotAvailable;
  if (tables().sides[classNumber][side].wide) {
    const uint32_t block = uint32_t(index >> 12);
    const uint32_t offset = uint32_t(index & 4095) * 2;
    uint8_t low, high;
    if (!cache_read_byte(classNumber, side, block, offset, low) ||
        !cache_read_byte(classNumber, side, block, offset + 1, high))
      return NotAvailable;
    return int16_t(uint16_t(low | high << 8));
  }
  uint8_t byte;
  if (!cache_read_byte(classNumber, side, uint32_t(index >> 13), uint32_t(index & 8191), byte))
    return NotAvailable;
  return stored_from_byte(int8_t(byte));
}

}  // namespace tb
