// LeakSanitizer's suppressions for the whole test program. Fontconfig keeps a few hundred bytes
// of its caches unreachable once Qt has asked it for a font; that is fontconfig's, not ours.
// (Read by LeakSanitizer only; in builds without it the function is never called.)
extern "C" __attribute__((used, visibility("default"))) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
