// A test-only heap that can make the k-th allocation fail. Linked into a test
// program as a shared library ahead of the C library, it stands in for
// malloc, calloc, realloc and free of the whole process, the module and
// giflib included. While armed it counts allocations, fails the chosen one,
// and tracks which blocks are still live, so a test can see a leak without a
// sanitizer.
#ifndef KALU7_TESTS_FAILING_ALLOC_H
#define KALU7_TESTS_FAILING_ALLOC_H

#ifdef __cplusplus
extern "C" {
#endif

// From now on count allocations; the fail_at-th (1-based) returns null.
// fail_at 0 only counts. Nothing between arm and disarm may allocate on
// another thread.
void failing_alloc_arm(long fail_at);
// Stops counting; returns how many allocations were asked for while armed.
long failing_alloc_disarm(void);
// Blocks allocated while armed and not freed since (valid after disarm).
long failing_alloc_live(void);
// True when the tracking table overflowed (the live count is then unknown).
int failing_alloc_overflowed(void);

#ifdef __cplusplus
}
#endif

#endif
