// A library whose thread-local the loader allocates per thread (built with
// the global-dynamic model): what the static-block check must find.
thread_local int g_probe = 0;

extern "C" int* TlsProbe()
{
    return &g_probe;
}
