// Built into every test program and the host application of the ThreadSanitizer build. Qt and
// FFmpeg are not instrumented, and Qt's mutexes wait on futexes directly, so the sanitizer cannot
// see the locking inside Qt's posted-event queue, its thread pool, the sound server's client
// library (which Qt Multimedia loads) or FFmpeg's own threads, and reports their accesses as races.
// Only reports with a frame inside those libraries are suppressed: races between frames of our own
// code are still reported.
extern "C" const char* __tsan_default_suppressions();
extern "C" const char* __tsan_default_suppressions() {
    return "race:libQt6Core.so\n"
           "race:libQt6Gui.so\n"
           "race:libQt6Widgets.so\n"
           "race:libQt6Multimedia.so\n"
           "race:libavcodec.so\n"
           "race:libavutil.so\n"
           "race:libpulse.so\n"
           "race:libpulsecommon\n";
}
