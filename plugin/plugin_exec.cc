// Entry point of the plug-in.
extern "C" __attribute__((visibility("default"))) int plugin_exec() { return 0; }
