// Libraries that keep memory for the life of the process (fontconfig when Qt
// loads fonts, D-Bus) are not leaks of ours; every test program carries this
// hook so that it also holds when a test binary is run by hand. The hook is
// only read when the program runs with the leak checker.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\nleak:libdbus-1\n";
}
