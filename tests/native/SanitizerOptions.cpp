// Defaults the sanitizer runtimes ask for at start-up, so that the programs report the
// same way under ctest and when run by hand.
#ifndef KOVA_SYMBOLIZER
#define KOVA_SYMBOLIZER ""
#endif

extern "C" const char* __ubsan_default_options()
{
    return "print_stacktrace=1";
}

extern "C" const char* __asan_default_options()
{
    // An empty path leaves the runtime to search PATH.
    return "external_symbolizer_path=" KOVA_SYMBOLIZER;
}
