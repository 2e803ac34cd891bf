// Blowfish's published initial tables, copied into each key schedule.
#pragma once

#include <cstddef>
#include <cstdint>

namespace stagewell::crypto {

constexpr size_t kPWords = 18;
constexpr size_t kSBoxes = 4;
constexpr size_t kSBoxWords = 256;

extern const uint32_t kInitialP[kPWords];
// S-box k is words 256*k .. 256*k+255.
extern const uint32_t kInitialS[kSBoxes * kSBoxWords];

}  // namespace stagewell::crypto
