// A library that loads but lacks the launcher's entry point: the launcher
// must report it and never call into it.
extern "C" __attribute__((visibility("default"))) int process_stop(int channel);
extern "C" __attribute__((visibility("default"))) int process_stop(int channel) { return channel; }
