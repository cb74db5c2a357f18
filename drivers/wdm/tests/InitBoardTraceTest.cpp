// The board initialisation's writes, taken from the card's trace, against
// stored traces per board type and preset family. TQ8_UPDATE_GOLDEN=1
// rewrites the files (check the differences by hand before keeping them).
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "DriverFixture.h"

using namespace kern;

namespace {

struct TraceCase {
    const char* name;
    uint16_t boardType;
    uint16_t presets; // word 0x49
    uint16_t variant;
};

class InitBoardTraceTest : public DriverTest, public ::testing::WithParamInterface<TraceCase> {};

std::string TraceText(const std::vector<tq8::CControlRegisters::Access>& trace)
{
    std::ostringstream text;
    char line[32];
    for (const auto& a : trace) {
        std::snprintf(line, sizeof line, "%u %08X\n", a.index, a.value);
        text << line;
    }
    return text.str();
}

} // namespace

TEST_P(InitBoardTraceTest, MatchesTheStoredTrace)
{
    const TraceCase& c = GetParam();
    CardSpec spec = Card();
    spec.desc.revision = c.variant;
    spec.desc.eepromWords = {{0x71, c.boardType}, {0x49, c.presets}};
    const size_t slot = m_bus->Plug(spec);
    ASSERT_EQ(m_bus->AddDevice(slot), STATUS_SUCCESS);
    const int64_t before = KeQueryInterruptTime();
    ASSERT_EQ(m_bus->Start(slot), STATUS_SUCCESS);
    EXPECT_GE(KeQueryInterruptTime() - before, 35000000); // the 3.5 s, on the virtual clock
    const std::string actual = TraceText(m_bus->Card(slot).ControlTrace());
    const std::string path = std::string(TQ8_GOLDEN_DIR) + "/init_" + c.name + ".txt";
    if (std::getenv("TQ8_UPDATE_GOLDEN") != nullptr) {
        std::ofstream(path) << actual;
        return;
    }
    std::ifstream file(path);
    ASSERT_TRUE(file) << path;
    std::stringstream expected;
    expected << file.rdbuf();
    EXPECT_EQ(actual, expected.str()) << path;
}

INSTANTIATE_TEST_SUITE_P(Boards, InitBoardTraceTest,
                         ::testing::Values(TraceCase{"type1_variant1", 1, 1, 1}, TraceCase{"type1_variant2", 1, 1, 2},
                                           TraceCase{"type2_variant1", 2, 1, 1}, TraceCase{"type2_variant2", 2, 1, 2},
                                           TraceCase{"type3_variant1", 3, 1, 1}, TraceCase{"type3_variant2", 3, 1, 2},
                                           TraceCase{"alternative_variant1", 1, 0, 1},
                                           TraceCase{"alternative_variant2", 1, 0, 2}),
                         [](const auto& info) { return std::string(info.param.name); });
