// The engine's single pseudo-random generator: a lagged additive-XOR generator over 1279
// words, seeded with 1 at start-up so that its sequence is the same in every run. Callers take
// the absolute value of a draw before use.
#pragma once

#include <cstdint>

// Seeds the generator once per process; a second call is ignored. A draw without a seed seeds
// with 1 first.
void seed_random(uint32_t seed);
int32_t random_number();
