// ThreadSanitizer suppressions built into the media test programs. Qt and FFmpeg are not built
// with the sanitizer, and Qt's mutexes wait on futexes directly, so the sanitizer cannot see the
// locking inside Qt's posted-event queue or FFmpeg's own threads and reports their accesses as
// races. Our own code hands data between threads through atomics or Qt's posted events only.
extern "C" const char* __tsan_default_suppressions();
extern "C" const char* __tsan_default_suppressions() {
    return "race:libQt6Core.so\n"
           "race:libQt6Gui.so\n"
           "race:libQt6Multimedia.so\n"
           "race:libavcodec.so\n"
           "race:libavutil.so\n";
}
