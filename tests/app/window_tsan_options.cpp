// Built into the window tests of the thread sanitizer tree only.
//
// Qt hands work to threads of its own (image conversions while painting, runnables while
// saving) and takes it back through futex-based waits inside Qt, which is not built with the
// sanitizer. It cannot see those hand-overs, so it took Qt's own copies and frees on those
// threads for races with the window's thread. Accesses made from code built without the
// sanitizer are left out of the checks; every access Cantova's code makes is still checked,
// against every thread, the audio and MIDI threads included.
extern "C" const char* __tsan_default_options()
{
    return "ignore_noninstrumented_modules=1";
}
