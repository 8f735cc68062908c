#include "core/random.h"

namespace {

constexpr int Lag = 1279;

struct Generator {
  uint32_t v[Lag];
  int a, b, c, d;
  bool seeded;
};

Generator Random;

int next_index(int i) { return i == Lag - 1 ? 0 : i + 1; }

int32_t draw() {
  Random.c = next_index(Random.c);
  Random.b = next_index(Random.b);
  Random.a = next_index(Random.a);
  Random.d = next_index(Random.d);
  Random.v[Random.a] ^= Random.v[Random.d] + Random.v[Random.c] + Random.v[Random.b];
  return int32_t(Random.v[Random.a]);
}

}  // namespace

void seed_random(uint32_t seed) {
  if (Random.seeded) return;
  Random.seeded = true;
  // A linear congruential fill of the lag table, then enough draws to wash out its regularity.
  Random.v[0] = seed;
  for (int k = 1; k < Lag; ++k) Random.v[k] = Random.v[k - 1] * 69069u + 1u;
  Random.a = 1278;
  Random.b = 1062;
  Random.c = 979;
  Random.d = 680;
  for (int i = 0; i < 100000; ++i) draw();
}

int32_t random_number() {
  if (!Random.seeded) seed_random(1);
  return draw();
}
