// A module file without a descriptor, for the host's error path.
#if defined(_WIN32)
#define KALU7_FAKE_EXPORT __declspec(dllexport)
#else
#define KALU7_FAKE_EXPORT __attribute__((visibility("default")))
#endif
extern "C" KALU7_FAKE_EXPORT int some_other_symbol(void) { return 1; }
