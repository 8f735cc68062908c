// Table files and headers: the input becomes a directory of table files (exact-size tables
// with fuzzed entries, files of the wrong length, compressed files with fuzzed headers), which
// is catalogued through a fuzzed path list; then probes run through the block cache, with table
// files spoiled, removed and closed in between.
//
// Checks: a side is catalogued exactly when an uncompressed file of its expected length was
// written (compressed files never are, their block codec being unknown); a probe of an intact
// catalogued table answers the entry of the file at the probed index, whatever the cache has
// evicted; a spoiled table answers that entry or "not available", never another value.
//
// Input layout: byte 0 the cache (high bit clear: a cache of 1 to 16 entries set up directly,
// so that eviction happens all the time; set: TBInitExtern with a fuzzed size in KB), byte 1
// the path-list form, then file records (name byte, form byte, two length bytes, contents) until
// a zero name byte, then probe records of 8 bytes.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "tablebase/catalogue.h"
#include "tablebase/interface.h"
#include "tablebase/module.h"
#include "tablebase/probe.h"
#include "tablebase/values.h"

namespace {

// The classes whose tables are small enough to write whole for every input.
const char* const Classes[] = {"kpk", "knk", "kbk", "krk", "kqk"};
constexpr int ClassChoices = 5;
// File-name forms: uncompressed, and the four compressed forms the catalogue looks for.
const char* const Forms[] = {"%s.%s", "%s.%s.emd", "%s_%s.emd", "%s_%s_emd", "%s%s.emd"};
constexpr int FormChoices = 5;

struct Reader {
  const uint8_t* data;
  size_t size, at = 0;
  bool empty() const { return at >= size; }
  uint8_t byte() { return at < size ? data[at++] : 0; }
};

// What the harness wrote for each class and side: the entries of an intact exact-size table.
struct Written {
  std::vector<uint8_t> entries[ClassChoices][2];
  bool exact[ClassChoices][2];    // the length of an 8-bit or a 16-bit table
  bool wide[ClassChoices][2];
  bool spoiled[ClassChoices][2];
};

std::string directory() {
  static std::string dir = [] {
    char pattern[] = "/tmp/tarrow-fuzz-tb-XXXXXX";
    require(mkdtemp(pattern) != nullptr, "a scratch table directory");
    return std::string(pattern);
  }();
  return dir;
}

std::string file_path(int cls, int side, int form) {
  char name[64];
  std::snprintf(name, sizeof name, Forms[form], Classes[cls], side == 0 ? "nbw" : "nbb");
  return directory() + "/" + name;
}

void clear_directory() {
  for (int c = 0; c < ClassChoices; ++c)
    for (int s = 0; s < 2; ++s)
      for (int f = 0; f < FormChoices; ++f) unlink(file_path(c, s, f).c_str());
}

void write_bytes(const std::string& path, const uint8_t* bytes, size_t n) {
  FILE* f = std::fopen(path.c_str(), "wb");
  require(f != nullptr, "a table file written");
  if (n > 0) std::fwrite(bytes, 1, n, f);
  std::fclose(f);
}

uint32_t big_endian(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
void put_big_endian(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24), p[1] = uint8_t(v >> 16), p[2] = uint8_t(v >> 8), p[3] = uint8_t(v);
}

// A compressed file: the fuzzed bytes as a header, optionally with the fixed fields and the
// checksum made right so that the checks further in are reached.
void write_compressed(const std::string& path, std::vector<uint8_t> bytes, bool repair) {
  if (repair && bytes.size() >= 84) {
    uint32_t length = big_endian(&bytes[64]);
    if (length < 84 || length > bytes.size()) length = uint32_t(bytes.size());
    put_big_endian(&bytes[64], length);
    bytes[70] = 13;
    bytes[71] = 24;
    bytes[76] = 0, bytes[77] = 64, bytes[78] = 1, bytes[79] = 245;
    put_big_endian(&bytes[length - 4], tb::header_checksum(bytes.data(), length - 4));
    require(tb::compressed_header_valid(bytes.data(), bytes.size()), "a repaired header passes");
  }
  // Independent of the files: the header checks never read outside what they are given.
  tb::compressed_header_valid(bytes.data(), bytes.size());
  write_bytes(path, bytes.data(), bytes.size());
}

void read_files(Reader& in, Written& w) {
  for (int files = 0; files < 12 && !in.empty(); ++files) {
    const uint8_t name = in.byte();
    if (name == 0) break;
    const int cls = name % ClassChoices, side = (name / ClassChoices) % 2;
    const int form = (name / (2 * ClassChoices)) % FormChoices;
    const uint8_t kind = in.byte();
    const size_t length = size_t(in.byte()) << 8 | in.byte();
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < length && !in.empty(); ++i) bytes.push_back(in.byte());
    const std::string path = file_path(cls, side, form);
    if (form != 0) {
      write_compressed(path, bytes, kind & 1);
      continue;
    }
    const uint64_t expected = tb::tb_class(tb::tb_class_by_name(Classes[cls])).size;
    if (kind & 1) {
      // An exact-size table of 8-bit or (kind bit 1) 16-bit entries: the fuzzed bytes
      // repeated, or one byte when there are none.
      if (bytes.empty()) bytes.push_back(kind);
      const uint64_t length = (kind & 2) ? 2 * expected : expected;
      std::vector<uint8_t> entries(length);
      for (uint64_t i = 0; i < length; ++i) entries[i] = bytes[i % bytes.size()];
      write_bytes(path, entries.data(), entries.size());
      w.entries[cls][side] = std::move(entries);
      w.exact[cls][side] = true;
      w.wide[cls][side] = kind & 2;
    } else {
      // A wrong length unless the fuzzer found one of the two exact ones.
      write_bytes(path, bytes.data(), bytes.size());
      w.exact[cls][side] = bytes.size() == expected || bytes.size() == 2 * expected;
      w.wide[cls][side] = bytes.size() == 2 * expected;
      w.entries[cls][side] = bytes;
    }
    w.spoiled[cls][side] = false;
  }
}

// The path list: the directory alone, among missing and empty entries, or behind a name
// longer than the module keeps.
std::string path_list(uint8_t form) {
  const std::string dir = directory();
  switch (form % 5) {
    case 0: return dir;
    case 1: return "/nonexistent/tables;" + dir + ",,";
    case 2: return ";," + dir + "/;" + dir;
    case 3: return std::string(600, 'x');
    default: return dir + "," + std::string(480, '/') + ";" + dir;
  }
}

void check_catalogue(const Written& w, bool found) {
  unsigned char present[tb::ClassCount];
  require(TBHasEndgames(present, 0) == 0, "TBHasEndgames of length 0");
  require(TBHasEndgames(present, tb::ClassCount) == tb::ClassCount, "TBHasEndgames answers n");
  for (int c = 0; c < ClassChoices; ++c) {
    const int number = tb::tb_class_by_name(Classes[c]);
    for (int s = 0; s < 2; ++s)
      require(tb::side_catalogued(number, s) == (found && w.exact[c][s]),
              "catalogued exactly when an exact-size file exists");
    require(present[number] == (found && w.exact[c][0] && w.exact[c][1]),
            "TBHasEndgames matches the catalogue");
  }
}

// One probe record: class, side, en passant and squares (kept on the board, possibly on one
// another or illegal; the module must cope).
void probe_once(Reader& in, Written& w) {
  const uint8_t action = in.byte();
  const int c = action % ClassChoices;
  const int number = tb::tb_class_by_name(Classes[c]);
  const tb::TbClass& cls = tb::tb_class(number);
  const bool swap = action & 0x10;  // the stronger side is Black
  const int side = (action >> 5) & 1;
  if (action >> 6 == 3) {
    // Spoil a table mid-run: cut it short or remove it, and sometimes close the open files.
    const int s = in.byte() & 1;
    const std::string path = file_path(c, s, 0);
    if (in.byte() & 1) unlink(path.c_str());
    else if (truncate(path.c_str(), in.byte()) != 0) return;
    w.spoiled[c][s] = true;
    if (in.byte() & 1) TBNewGame();
    return;
  }
  int counters[10] = {}, lists[2][24] = {};
  const int strong = swap ? 1 : 0;
  lists[strong][0] = in.byte() & 63;
  lists[1 - strong][0] = in.byte() & 63;
  const int type = cls.pieces[0][0];
  ++counters[strong * 5 + type - 1];
  lists[strong][4 * type] = in.byte() & 63;
  int ep = in.byte() & 63;
  if (ep > 0 && (in.byte() & 1)) lists[side][4] = side == 0 ? ep - 9 : ep + 7;  // a capturer
  if (in.byte() & 1) ep = 0;

  int result = 12345;
  const int answered = TBProbeList(counters, lists[0], lists[1], side, ep, &result);
  int tableSide;
  uint64_t index;
  const int signedClass = swap ? -number : number;
  const bool located = tb::locate_entry(signedClass, lists[0], lists[1], side, ep, tableSide, index);
  if (!answered) {
    require(result == 12345, "no result written without an answer");
    require(!located || !tb::side_catalogued(number, tableSide) ||
                !w.exact[c][tableSide],
            "an intact catalogued table answers every position inside it");
    return;
  }
  require(located && index < cls.size, "an answer comes from a position inside the table");
  require(w.exact[c][tableSide], "an answer comes from a catalogued table");
  const std::vector<uint8_t>& bytes = w.entries[c][tableSide];
  const int32_t entry =
      w.wide[c][tableSide] ? int32_t(int16_t(uint16_t(bytes[2 * index] | bytes[2 * index + 1] << 8)))
                           : tb::stored_from_byte(int8_t(bytes[index]));
  const int expected = entry == tb::NotAvailable ? 0 : tb::result_from_stored(entry);
  if (w.spoiled[c][tableSide])
    require(result == expected || result == 0, "a spoiled table answers its entry or nothing");
  else
    require(result == expected, "the probe answers the file's entry");
  require(w.wide[c][tableSide] || (result >= -127 && result <= 127), "an 8-bit table's result");
  const int score = tb::score_from_result(result);
  require(score == tb::NoTablebaseScore || (score >= -30000 && score <= 30000),
          "the engine score is a score");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader in{data, size};
  Written w{};
  clear_directory();
  const uint8_t cache = in.byte();
  const uint8_t pathForm = in.byte();
  read_files(in, w);
  const std::string paths = path_list(pathForm);
  const bool found = pathForm % 5 != 3;  // the over-long name is cut to a directory that is not

  if (cache & 0x80) {
    // Through the interface: a cache of at least 1 MB whatever the size given.
    static const int Special[8] = {INT_MIN, -1, 0, 1, 1023, 1024, 2097152, INT_MAX};
    const int selector = cache & 0x7f;
    const int kilobytes = selector < 8 ? Special[selector] : (selector - 64) * 32;
    const int men = TBInitExtern(paths.c_str(), kilobytes);
    bool any = false;
    for (int c = 0; c < ClassChoices; ++c) any = any || w.exact[c][0] || w.exact[c][1];
    require(men == (found && any ? 3 : 0), "the largest table found");
    require(TBMaxPiece() == men, "TBMaxPiece after init");
    require(tb::cache_entry_count() >= 126, "a cache of 1 MB at least");
  } else {
    // A tiny cache set up directly, so that probes evict all the time.
    tb::catalogue_paths(paths.c_str());
    require(tb::cache_setup(size_t(1 + cache % 16) * 8260), "a small cache");
  }
  check_catalogue(w, found);
  for (int probes = 0; probes < 256 && !in.empty(); ++probes) probe_once(in, w);

  if (cache & 0x80) {
    require(TBExit() == 1, "the last exit");
    require(TBMaxPiece() == 0, "TBMaxPiece after the last exit");
  } else {
    tb::forget_catalogue();
    tb::cache_release();
  }
  return 0;
}
