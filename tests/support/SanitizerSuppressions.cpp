// What the sanitizers cannot judge in libraries built without them (Qt, and
// cpp-httplib under the recorder stand-in), for every test program that runs
// widgets or several connections to the stand-in at once. Our own code
// stays fully checked.
//
// Leaks: Qt keeps fontconfig's caches for the whole process and fontconfig
// never frees them before exit.
// Races: Qt is not built with the thread sanitizer; the worker threads it
// starts itself (the file dialog's file information gatherer, the pool that
// scales large images) synchronise in code the sanitizer cannot see, so it
// reports their hand-overs as races. Races with a frame of ours on both
// sides are still reported. cpp-httplib's worker threads share state the
// same way.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
extern "C" const char* __tsan_default_suppressions() {
    return "race:libQt6Core.so\nrace:libQt6Gui.so\nrace:libQt6Widgets.so\nrace:libglib-2.0.so\nrace:libcpp-httplib.so\n";
}
