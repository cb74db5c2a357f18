#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "CLayerCheck.h"
#include "CLayerModel.h"

namespace fs = std::filesystem;

namespace {

std::string Joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

size_t CountContaining(const std::vector<std::string>& lines, const std::string& part)
{
    size_t n = 0;
    for (const std::string& line : lines)
        n += line.find(part) != std::string::npos;
    return n;
}

} // namespace

// The build's own model of the tree.
class Layering : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(model.Read(TQ8_LAYER_MODEL, error)) << error;
    }
    CLayerModel model;
};

TEST_F(Layering, FoundationReachesNothingAbove)
{
    const std::vector<std::string> edges = CLayerCheck(TQ8_SOURCE_DIR, model).UpwardEdges();
    EXPECT_TRUE(edges.empty()) << Joined(edges);
}

TEST_F(Layering, NoSourceInTwoLibraries)
{
    const std::vector<std::string> shared = CLayerCheck(TQ8_SOURCE_DIR, model).SourcesInTwoLibraries();
    EXPECT_TRUE(shared.empty()) << Joined(shared);
}

// One upward edge of each kind put into the tree's own model: the check
// finds every one, so that a passing tree is no empty model passing.
TEST_F(Layering, TheTreesModelFailsWithAnUpwardEdge)
{
    const LayerTarget* core = model.Find("tq8_core");
    const LayerTarget* scope = model.Find("tq8scope_core");
    ASSERT_NE(core, nullptr);
    ASSERT_NE(scope, nullptr);
    // A source that is compiled: a header in two targets is no fault.
    const auto compiled = std::find_if(scope->sources.begin(), scope->sources.end(), [](const std::string& source) {
        return fs::path(source).extension() == ".cpp";
    });
    ASSERT_NE(compiled, scope->sources.end());
    LayerTarget bad = *core;
    bad.includes.push_back(scope->folder);
    bad.uses.push_back(scope->name);
    bad.sources.push_back(*compiled);
    model.Add(bad);
    const CLayerCheck check(TQ8_SOURCE_DIR, model);
    const std::vector<std::string> edges = check.UpwardEdges();
    EXPECT_EQ(CountContaining(edges, "target tq8_core (platform/tq8) has the include directory Applications/"), 1u)
        << Joined(edges);
    EXPECT_EQ(CountContaining(edges, "target tq8_core links tq8scope_core"), 1u) << Joined(edges);
    EXPECT_EQ(CountContaining(edges, "target tq8_core (platform/tq8) builds Applications/"), 1u) << Joined(edges);
    EXPECT_EQ(check.SourcesInTwoLibraries().size(), 1u) << Joined(check.SourcesInTwoLibraries());
}

class LayeringRulesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* tmp = std::getenv("VLT_TEST_TMP");
        // ctest runs the tests of this program side by side: a tree each.
        m_root = fs::path(tmp != nullptr ? tmp : fs::temp_directory_path().c_str())
                 / (std::string("layering-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_root);
    }
    void TearDown() override { fs::remove_all(m_root); }

    void Write(const std::string& relative, const std::string& text)
    {
        fs::create_directories((m_root / relative).parent_path());
        std::ofstream(m_root / relative) << text;
    }
    LayerTarget Target(const std::string& name, const std::string& folder, const std::string& type = "STATIC_LIBRARY")
    {
        LayerTarget t;
        t.name = name;
        t.type = type;
        t.folder = (m_root / folder).string();
        return t;
    }
    std::string At(const std::string& relative) const { return (m_root / relative).string(); }

    fs::path m_root;
};

TEST_F(LayeringRulesTest, FindsEveryKindOfUpwardEdgeAndNothingElse)
{
    Write("Applications/x/X.h", "#include \"Low.h\"\n");
    Write("Applications/x/Y.h", "");
    Write("platform/a/A.cpp", "#include \"../../Applications/x/Y.h\"\n");
    Write("platform/a/B.h", "#pragma once\n#include <vector>\n  #  include \"X.h\"\n");
    Write("platform/a/C.h", "#include \"Low.h\"\n#include \"Y.h\"\n#include \"Missing.h\"\n");
    Write("platform/a/Y.h", "");
    Write("platform/b/Low.h", "");
    Write("Shared/S.cpp", "#include \"Applications/x/Y.h\"\n");

    CLayerModel model;
    LayerTarget low = Target("low", "platform/b");
    low.includes = {At("platform/b")};
    LayerTarget badInclude = Target("bad_inc", "platform/a");
    badInclude.includes = {At("platform/a"), At("Applications/x")};
    LayerTarget badSource = Target("bad_src", "platform/a");
    badSource.sources = {At("Applications/x/S.cpp")};
    LayerTarget badLink = Target("bad_link", "Shared");
    badLink.uses = {"low", "mid"};
    LayerTarget mid = Target("mid", "drivers/m");
    mid.uses = {"app"};
    LayerTarget app = Target("app", "Components/c");
    app.uses = {"low"};
    for (const LayerTarget& t : {low, badInclude, badSource, badLink, mid, app})
        model.Add(t);

    const std::vector<std::string> edges = CLayerCheck(m_root, model).UpwardEdges();
    EXPECT_EQ(edges.size(), 6u) << Joined(edges);
    EXPECT_EQ(CountContaining(edges, "bad_inc (platform/a) has the include directory Applications/x"), 1u);
    EXPECT_EQ(CountContaining(edges, "bad_src (platform/a) builds Applications/x/S.cpp"), 1u);
    EXPECT_EQ(CountContaining(edges, "bad_link links mid -> app (Components/c)"), 1u);
    EXPECT_EQ(CountContaining(edges, "platform/a/A.cpp:1 includes ../../Applications/x/Y.h"), 1u);
    EXPECT_EQ(CountContaining(edges, "platform/a/B.h:3 includes X.h from Applications/x/X.h"), 1u);
    EXPECT_EQ(CountContaining(edges, "Shared/S.cpp:1 includes Applications/x/Y.h from its path"), 1u);
    EXPECT_EQ(CountContaining(edges, "C.h"), 0u) << "Low.h, Y.h beside it and an unknown header stay below";
}

TEST_F(LayeringRulesTest, FindsASourceInTwoLibrariesButNotInAProgram)
{
    CLayerModel model;
    LayerTarget a = Target("a", "platform/a");
    a.sources = {At("Shared/Common.cpp"), At("platform/a/Common.h")};
    LayerTarget b = Target("b", "platform/b", "OBJECT_LIBRARY");
    b.sources = {At("platform/b/../../Shared/Common.cpp"), At("platform/a/Common.h")};
    LayerTarget program = Target("p", "Applications/p", "EXECUTABLE");
    program.sources = {At("platform/a/Own.cpp")};
    LayerTarget c = Target("c", "platform/c");
    c.sources = {At("platform/a/Own.cpp")};
    for (const LayerTarget& t : {a, b, program, c})
        model.Add(t);

    const std::vector<std::string> shared = CLayerCheck(m_root, model).SourcesInTwoLibraries();
    ASSERT_EQ(shared.size(), 1u) << Joined(shared);
    EXPECT_EQ(shared[0], "Shared/Common.cpp is built into a b");
}

TEST(LayerModel, RefusesAnUnknownRecordAndAMissingFile)
{
    const char* tmp = std::getenv("VLT_TEST_TMP");
    const fs::path file = fs::path(tmp != nullptr ? tmp : fs::temp_directory_path().c_str()) / "layer-model.txt";
    std::ofstream(file) << "target\tt\tSTATIC_LIBRARY\t/x\nuses\tt\tu\nincludes\tt\t/a;/b\nlinks\tt\tu\n";
    CLayerModel model;
    std::string error;
    EXPECT_FALSE(model.Read(file.string(), error));
    EXPECT_NE(error.find("unknown record"), std::string::npos) << error;
    ASSERT_NE(model.Find("t"), nullptr);
    EXPECT_EQ(model.Find("t")->includes, (std::vector<std::string>{"/a", "/b"}));
    EXPECT_FALSE(CLayerModel().Read((file.parent_path() / "absent.txt").string(), error));
    fs::remove(file);
}
