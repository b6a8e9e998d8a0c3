// Sanitizer suppressions for the test programs and for the Qt programs they start,
// compiled in so that they hold however a program is started (ctest, gtest_discover_tests at
// build time, QProcess, by hand). They name system libraries only, never our own code.

// Debian's Qt is not built with ThreadSanitizer. The memory Qt allocates, copies and frees in
// its own threads (the raster painter fills large spans in QThreadPool's threads; the xcb
// platform runs a D-Bus connection thread with a GLib event loop, and its own thread that
// reads the X server's events) reaches the sanitizer
// through its interceptors, while Qt's own synchronisation (futex-based mutexes and
// semaphores) stays invisible to it, so every such pair looks like a race. called_from_lib
// ignores the memory accesses of the interceptors that the named libraries call; every access
// made by our own instrumented code is checked as before, whichever Qt function called it.
// libxcb takes its connection's locks in an order the sanitizer cannot see is safe, and frees
// a connection whose lock Qt's X event reader thread may still hold as the program ends.
extern "C" const char* __tsan_default_suppressions() {  // NOLINT(bugprone-reserved-identifier)
    return "called_from_lib:libQt6Core.so\n"
           "called_from_lib:libQt6Gui.so\n"
           "called_from_lib:libQt6Widgets.so\n"
           "called_from_lib:libQt6XcbQpa.so\n"
           "deadlock:libxcb.so\n"
           "mutex:libxcb.so\n"
           "called_from_lib:libglib-2.0.so\n";
}

// Allocations kept for the life of the process, reported by LeakSanitizer at exit: on a real
// display (Xvfb) those of the X, D-Bus and font libraries below Qt; and the search list glibc
// builds from LOCPATH when a test loads a German locale from a generated folder.
extern "C" const char* __lsan_default_suppressions() {  // NOLINT(bugprone-reserved-identifier)
    return "leak:libdbus-1.so\n"
           "leak:libxcb\n"
           "leak:libX11\n"
           "leak:libfontconfig\n"
           "leak:__argz_add_sep\n";
}
