// A module file without a descriptor, for the host's error path.
extern "C" __attribute__((visibility("default"))) int some_other_symbol(void) { return 1; }
