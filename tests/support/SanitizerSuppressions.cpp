// Libraries built without the sanitizers: fontconfig keeps its caches until
// exit, and Qt's and cpp-httplib's threads synchronise where the thread
// sanitizer cannot see. Races with a frame of ours on both sides still show.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
extern "C" const char* __tsan_default_suppressions() {
    return "race:libQt6Core.so\nrace:libQt6Gui.so\nrace:libQt6Widgets.so\nrace:libglib-2.0.so\nrace:libcpp-httplib.so\n";
}
