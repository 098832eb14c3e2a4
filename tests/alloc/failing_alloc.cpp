#include "tests/alloc/failing_alloc.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstddef>
#include <cstdint>

extern "C" {
void *__libc_malloc(size_t);
void *__libc_calloc(size_t, size_t);
void *__libc_realloc(void *, size_t);
void __libc_free(void *);
}

namespace {

// Open addressing over the addresses of blocks allocated while armed; no
// allocation of its own.
constexpr size_t kSlots = size_t{1} << 18;
uintptr_t g_slots[kSlots];
const uintptr_t kTombstone = 1;

std::atomic_flag g_lock = ATOMIC_FLAG_INIT;
bool g_armed = false;
long g_fail_at = 0;
long g_count = 0;
long g_live = 0;
bool g_overflow = false;

struct Guard {
  Guard() {
    while (g_lock.test_and_set(std::memory_order_acquire)) {
    }
  }
  ~Guard() { g_lock.clear(std::memory_order_release); }
};

size_t slot_of(uintptr_t p) { return (p >> 4) * 0x9E3779B97F4A7C15ull % kSlots; }

void remember(void *block) {
  const auto p = reinterpret_cast<uintptr_t>(block);
  for (size_t i = slot_of(p), n = 0; n < kSlots; i = (i + 1) % kSlots, ++n) {
    if (g_slots[i] == 0 || g_slots[i] == kTombstone) {
      g_slots[i] = p;
      ++g_live;
      return;
    }
  }
  g_overflow = true;
}

void forget(void *block) {
  const auto p = reinterpret_cast<uintptr_t>(block);
  for (size_t i = slot_of(p), n = 0; n < kSlots && g_slots[i] != 0; i = (i + 1) % kSlots, ++n) {
    if (g_slots[i] == p) {
      g_slots[i] = kTombstone;
      --g_live;
      return;
    }
  }
}

// True when this allocation is to fail.
bool next_fails() {
  if (!g_armed) return false;
  ++g_count;
  const bool fail = g_fail_at != 0 && g_count == g_fail_at;
  // For a debugger: KALU7_ALLOC_TRAP set stops at the failing allocation.
  if (fail && std::getenv("KALU7_ALLOC_TRAP") != nullptr) std::raise(SIGTRAP);
  return fail;
}

}  // namespace

extern "C" {

void failing_alloc_arm(long fail_at) {
  Guard g;
  for (uintptr_t &s : g_slots) s = 0;
  g_fail_at = fail_at;
  g_count = 0;
  g_live = 0;
  g_overflow = false;
  g_armed = true;
}

long failing_alloc_disarm(void) {
  Guard g;
  g_armed = false;
  return g_count;
}

long failing_alloc_live(void) {
  Guard g;
  return g_live;
}

int failing_alloc_overflowed(void) {
  Guard g;
  return g_overflow ? 1 : 0;
}

void *malloc(size_t n) {
  Guard g;
  if (next_fails()) return nullptr;
  void *p = __libc_malloc(n);
  if (p != nullptr && g_armed) remember(p);
  return p;
}

void *calloc(size_t count, size_t size) {
  Guard g;
  if (next_fails()) return nullptr;
  void *p = __libc_calloc(count, size);
  if (p != nullptr && g_armed) remember(p);
  return p;
}

void *realloc(void *old, size_t n) {
  Guard g;
  if (old == nullptr || n != 0) {
    if (next_fails()) return nullptr;
  }
  void *p = __libc_realloc(old, n);
  if (g_armed && (p != nullptr || n == 0)) {
    if (old != nullptr) forget(old);
    if (p != nullptr) remember(p);
  }
  return p;
}

void *reallocarray(void *old, size_t count, size_t size) {
  if (size != 0 && count > SIZE_MAX / size) return nullptr;
  return realloc(old, count * size);
}

void free(void *p) {
  if (p == nullptr) return;
  Guard g;
  if (g_armed) forget(p);
  __libc_free(p);
}

}  // extern "C"
