// Finding table files: the directories of the path list, the file-name forms of each class and
// side, and the size checks that keep foreign or damaged files out of the catalogue.
#include <cstdlib>
#include <cstring>

#include "tablebase/module.h"

namespace tb {
namespace {

constexpr uint64_t PartBytes = uint64_t(1) << 31;
constexpr int DirectoryCapacity = 512;

const char* const SideExtension[2] = {"nbw", "nbb"};

bool file_length(FILE* f, uint64_t& length) {
  if (std::fseek(f, 0, SEEK_END) != 0) return false;
  const long end = std::ftell(f);
  if (end < 0) return false;
  length = uint64_t(end);
  return true;
}

uint64_t side_bytes(const TbClass& cls, bool wide) {
  return cls.size * ((wide || (cls.flags & WideEntries)) ? 2 : 1);
}

uint32_t big_endian(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// A compressed form of the name: the header must pass its checks, and even then the block
// format is not one this module decodes, so the file is never catalogued.
bool try_compressed(const char* name) {
  FILE* f = std::fopen(name, "rb");
  if (!f) return false;
  uint8_t start[84];
  bool usable = false;
  if (std::fread(start, 1, sizeof start, f) == sizeof start) {
    const uint32_t length = big_endian(start + 64);
    if (length > 83 && length < (1u << 24)) {
      uint8_t* header = static_cast<uint8_t*>(std::malloc(length));
      if (header && std::fseek(f, 0, SEEK_SET) == 0 && std::fread(header, 1, length, f) == length &&
          compressed_header_valid(header, length)) {
        usable = false;  // unknown block codec
      }
      std::free(header);
    }
  }
  std::fclose(f);
  return usable;
}

// Tries the uncompressed name and then the compressed names; true when one is catalogued.
bool catalogue_part(const char* directory, int classNumber, int side, int part) {
  const TbClass& cls = tb_class(classNumber);
  TableSide& ts = tables().sides[classNumber][side];
  char name[DirectoryCapacity + 32];
  part_file_name(name, sizeof name, directory, cls, part, side);
  bool found = false;
  if (FILE* f = std::fopen(name, "rb")) {
    uint64_t length = 0;
    found = file_length(f, length) && length >= 1 && length == part_bytes(cls, part, false);
    // An unsplit table of twice the length holds 16-bit entries, for distances that do not
    // fit a byte (tbgen writes this form with --wide).
    if (!found && !(cls.flags & (SplitFiles | WideEntries)) && length == 2 * cls.size) {
      found = true;
      ts.wide = true;
    }
    std::fclose(f);
  }
  if (!found) {
    char other[sizeof name + 8];
    std::snprintf(other, sizeof other, "%s.emd", name);
    bool compressed = try_compressed(other);
    if (!compressed && !(cls.flags & SplitFiles)) {
      char* dot = std::strrchr(other, '.');          // before "emd"
      char* sideDot = dot - 4;                        // before the side extension
      *sideDot = '_';
      compressed = try_compressed(other);             // kqkr_nbw.emd
      if (!compressed) {
        *dot = '_';
        compressed = try_compressed(other);           // kqkr_nbw_emd
      }
      if (!compressed && classNumber <= 110) {
        std::snprintf(other, sizeof other, "%s", name);
        char* ext = std::strrchr(other, '.');
        std::memmove(ext, ext + 1, std::strlen(ext));  // kqkrnbw
        std::strncat(other, ".emd", sizeof other - std::strlen(other) - 1);
        compressed = try_compressed(other);
      }
    }
    if (!compressed) return false;
  }
  ts.fileName[part] = strdup(name);
  if (cls.flags & WideEntries) ts.wide = true;
  if (!ts.directory) {
    ts.directory = new BlockDirectory;
    for (int b = 0; b < BucketCount; ++b) ts.directory->head[b] = -1;
  }
  material_enter(classNumber);
  return true;
}

bool catalogue_side(const char* directory, int classNumber, int side) {
  const TbClass& cls = tb_class(classNumber);
  TableSide& ts = tables().sides[classNumber][side];
  for (int part = 0; part < part_count(cls); ++part) {
    if (ts.fileName[part]) continue;
    if (!catalogue_part(directory, classNumber, side, part)) break;
  }
  return ts.fileName[0] != nullptr;
}

}  // namespace

ModuleTables& tables() {
  static ModuleTables state;
  return state;
}

int part_count(const TbClass& cls) {
  return (cls.flags & SplitFiles) ? int(side_bytes(cls, false) / PartBytes) + 1 : 1;
}

uint64_t part_bytes(const TbClass& cls, int part, bool wide) {
  const uint64_t total = side_bytes(cls, wide);
  if (!(cls.flags & SplitFiles)) return total;
  const uint64_t before = uint64_t(part) * PartBytes;
  return total - before < PartBytes ? total - before : PartBytes;
}

void part_file_name(char* out, size_t capacity, const char* directory, const TbClass& cls,
                    int part, int side) {
  const size_t n = std::strlen(directory);
  const char* separator = (n > 0 && directory[n - 1] != '/') ? "/" : "";
  if (cls.flags & SplitFiles) {
    const char partChar = char(part < 10 ? '0' + part : 'a' + part - 10);
    std::snprintf(out, capacity, "%s%s%s.%c.%s", directory, separator, cls.name, partChar,
                  SideExtension[side]);
  } else {
    std::snprintf(out, capacity, "%s%s%s.%s", directory, separator, cls.name, SideExtension[side]);
  }
}

uint32_t header_checksum(const uint8_t* bytes, size_t length) {
  static const struct Table {
    uint32_t entry[256];
    Table() {
      for (uint32_t i = 0; i < 256; ++i) {
        uint32_t v = i;
        for (int k = 0; k < 8; ++k) {
          const bool low = v & 1;
          v >>= 1;
          if (!low) v ^= 0xEDB88320u;
        }
        entry[i] = v;
      }
    }
  } table;
  uint32_t sum = 0;
  for (size_t i = 0; i < length; ++i) sum = table.entry[(sum ^ bytes[i]) & 255] ^ (sum >> 8);
  return sum;
}

bool compressed_header_valid(const uint8_t* header, size_t length) {
  if (length < 84) return false;
  const uint32_t declared = big_endian(header + 64);
  if (declared <= 83 || declared > length) return false;
  if (header[70] > 16 || header[71] != 24) return false;
  if (header[76] != 0 || header[77] != 64 || header[78] != 1 || header[79] != 245) return false;
  return header_checksum(header, declared - 4) == big_endian(header + declared - 4);
}

bool side_catalogued(int classNumber, int side) {
  return tables().sides[classNumber][side].fileName[0] != nullptr;
}

int catalogued_file_count() {
  int count = 0;
  for (const auto& cls : tables().sides)
    for (const TableSide& ts : cls)
      for (const char* name : ts.fileName) count += name != nullptr;
  return count;
}

void close_all_files() {
  for (auto& cls : tables().sides)
    for (TableSide& ts : cls) {
      SpinGuard guard(ts.fileLock);
      for (FILE*& f : ts.file)
        if (f) {
          std::fclose(f);
          f = nullptr;
        }
    }
}

void forget_catalogue() {
  close_all_files();
  for (auto& cls : tables().sides)
    for (TableSide& ts : cls) {
      for (char*& name : ts.fileName) {
        std::free(name);
        name = nullptr;
      }
      delete ts.directory;
      ts.directory = nullptr;
      ts.wide = false;
    }
  material_clear();
  tables().maxMen = 0;
}

int catalogue_paths(const char* pathList) {
  forget_catalogue();
  int highest = 0;
  const char* p = pathList;
  while (*p) {
    char directory[DirectoryCapacity];
    size_t n = 0;
    // "a; b" names "b": the blanks around each directory are separators, not part of it.
    while (*p == ' ' || *p == '\t') ++p;
    while (*p && *p != ',' && *p != ';') {
      if (n + 1 < sizeof directory) directory[n++] = *p;
      ++p;
    }
    while (n > 0 && (directory[n - 1] == ' ' || directory[n - 1] == '\t')) --n;
    directory[n] = '\0';
    if (*p) ++p;
    if (n == 0) continue;
    for (int c = 1; c < ClassCount; ++c) {
      bool any = catalogue_side(directory, c, 0);
      if (!(tb_class(c).flags & SymmetricClass)) any = catalogue_side(directory, c, 1) || any;
      if (any && c > highest) highest = c;
    }
  }
  const int men = highest > 145 ? 6 : highest > 35 ? 5 : highest > 5 ? 4 : highest > 0 ? 3 : 0;
  tables().maxMen = men;
  return men;
}

}  // namespace tb
