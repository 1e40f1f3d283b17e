// A small shared object that the module tests load by name.
extern "C" __attribute__((visibility("default"))) int TestModuleAnswer() { return 42; }
