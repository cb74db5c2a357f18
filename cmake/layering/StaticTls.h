#pragma once
// Whether a shared library keeps its thread-locals in the static block that
// every thread gets at its start (a TLS segment marked DF_STATIC_TLS), or has
// the loader allocate them per thread when it is loaded.
#include <string>

enum class TlsKind { None, Static, Dynamic };

// False, with the reason, when the file is not a readable 64-bit ELF object.
bool ReadTlsKind(const std::string& path, TlsKind& kind, std::string& error);
