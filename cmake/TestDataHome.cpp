// Test programs keep out of the user's data folder: what the product writes
// there (the simulated board driver's event log among it) goes to a folder
// of the test run instead, also when a test binary is run by hand. Set
// before main, so before anything reads the variable.
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {
const bool kDataHomeRedirected = [] {
    namespace fs = std::filesystem;
    const char* tmp = std::getenv("VLT_TEST_TMP");
    std::error_code ec;
    const fs::path base = tmp != nullptr && *tmp != '\0' ? fs::path(tmp) : fs::temp_directory_path(ec);
    const fs::path home = base / "data-home";
    fs::create_directories(home, ec);
    return setenv("XDG_DATA_HOME", home.c_str(), 1) == 0;
}();
} // namespace
