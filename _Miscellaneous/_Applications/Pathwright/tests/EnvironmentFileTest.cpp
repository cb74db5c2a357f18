#include <gtest/gtest.h>

#include "EnvironmentFile.h"

using namespace vlt;

TEST(EnvironmentFile, PathLineFoundAndReplaced)
{
    const struct {
        std::string text;
        const char* found; // nullptr: no PATH= line
        std::string replaced;
    } cases[] = {
        {"", nullptr, "PATH=\"/x\"\n"},
        {"A=1", nullptr, "A=1\nPATH=\"/x\"\n"},
        {"A=1\n", nullptr, "A=1\nPATH=\"/x\"\n"},
        {"MYPATH=/no\n", nullptr, "MYPATH=/no\nPATH=\"/x\"\n"},
        {"PATH=/a:/b\n", "/a:/b", "PATH=\"/x\"\n"},
        {"A=1\r\n  PATH=\"/a b\"\r\nB=2\r\n", "/a b", "A=1\r\nPATH=\"/x\"\nB=2\r\n"},
        {"PATH='/q'\nPATH=/last\n# end", "/last", "PATH='/q'\nPATH=\"/x\"\n# end"},
        {"PATH=\"\n", "\"", "PATH=\"/x\"\n"},
    };
    for (const auto& c : cases) {
        std::string value = "unchanged";
        EXPECT_EQ(FindPathLine(c.text, value), c.found != nullptr) << c.text;
        EXPECT_EQ(value, c.found ? c.found : "unchanged") << c.text;
        EXPECT_EQ(WithPathLine(c.text, "/x"), c.replaced) << c.text;
    }
}
