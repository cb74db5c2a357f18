#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "StaticTls.h"

namespace fs = std::filesystem;

// Every library the build makes, loaded at run time or not: where it has
// thread-locals, they are in the static block.
TEST(StaticTls, EveryBuiltLibraryKeepsItsThreadLocalsInTheStaticBlock)
{
    int withTls = 0;
    for (const auto& entry : fs::directory_iterator(TQ8_LIBRARY_DIR)) {
        if (entry.path().extension() != ".so")
            continue;
        TlsKind kind{};
        std::string error;
        ASSERT_TRUE(ReadTlsKind(entry.path().string(), kind, error)) << error;
        EXPECT_NE(kind, TlsKind::Dynamic) << entry.path();
        withTls += kind == TlsKind::Static;
    }
    EXPECT_GT(withTls, 0) << "the libraries with thread-locals were not found";
}

TEST(StaticTls, FindsADynamicBlockAndRefusesWhatIsNoLibrary)
{
    TlsKind kind{};
    std::string error;
    ASSERT_TRUE(ReadTlsKind(TQ8_TLS_PROBE, kind, error)) << error;
    EXPECT_EQ(kind, TlsKind::Dynamic);

    const char* tmp = std::getenv("VLT_TEST_TMP");
    const fs::path text = fs::path(tmp != nullptr ? tmp : fs::temp_directory_path().c_str()) / "not-a-library.so";
    std::ofstream(text) << "not an ELF object";
    EXPECT_FALSE(ReadTlsKind(text.string(), kind, error));
    EXPECT_NE(error.find("not a 64-bit ELF object"), std::string::npos) << error;
    EXPECT_FALSE(ReadTlsKind((text.parent_path() / "absent.so").string(), kind, error));
    fs::remove(text);
}
