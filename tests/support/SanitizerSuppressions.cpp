// What the sanitizers cannot judge in libraries built without them; our own
// code stays fully checked. fontconfig keeps its caches until exit. Qt's and
// cpp-httplib's own worker threads synchronise in code the thread sanitizer
// cannot see, so their hand-overs look like races; races with a frame of ours
// on both sides are still reported.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
extern "C" const char* __tsan_default_suppressions() {
    return "race:libQt6Core.so\nrace:libQt6Gui.so\nrace:libQt6Widgets.so\nrace:libglib-2.0.so\nrace:libcpp-httplib.so\n";
}
