// The loader tests look this symbol up by name.
extern "C" __attribute__((visibility("default"))) int vexa_test_plugin_twice(int x) { return 2 * x; }
