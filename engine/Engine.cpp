extern "C" __attribute__((visibility("default"))) int bInitLibrary(void *) { return 1; }
