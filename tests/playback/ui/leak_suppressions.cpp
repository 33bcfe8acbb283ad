// Qt keeps fontconfig's caches for the whole process and fontconfig never
// frees them before exit; the leak checker of the address sanitizer build
// would report them at the end of every dialog test. Our own allocations
// are still checked.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
