// Linked into the tests of the ThreadSanitizer build only. Qt's libraries are not instrumented:
// their QMutex is a futex that the sanitizer cannot see, so posting an event from a worker thread
// (which appends to the receiver thread's event list under that lock) and Qt's own thread pool look
// like races. Reports with a frame inside a Qt library are suppressed; races between frames of our
// own code are still reported.
extern "C" const char* __tsan_default_suppressions() {
    return "race:libQt6Core.so\n"
           "race:libQt6Gui.so\n"
           "race:libQt6Widgets.so\n";
}
