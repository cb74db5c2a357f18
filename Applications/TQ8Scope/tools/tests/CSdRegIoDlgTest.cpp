#include "CSdRegIoDlg.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "DocToolsFixture.h"
#include "ErrorBeep.h"

using doc_tools_test::BoardName;

namespace {

struct AdcWrite {
    int32_t adc;
    uint32_t reg, mask;
    uint16_t value;
    uint32_t logIdx, subIdx;
    bool operator==(const AdcWrite&) const = default;
};

class SdRegIoTest : public doc_tools_test::DocToolsTest {
protected:
    void SetUp() override
    {
        DocToolsTest::SetUp();
        m_oldBeep = vlt::SetErrorBeepHandler([this] { ++beeps; });
        device = NewDoc().GetDeviceHandle();
        dlg = std::make_unique<CSdRegIoDlg>(nullptr, device);
        dlg->SetAdcWriter([this](TQ8_HANDLE h, int32_t adc, uint32_t reg, uint32_t mask, uint16_t value,
                                 uint32_t log, uint32_t sub) {
            writes.push_back({adc, reg, mask, value, log, sub});
            if (reg == failOn)
                return int32_t(-9);
            return WriteAdcRegTQ8(h, adc, reg, mask, value, log, sub, 0, 0);
        });
    }
    void TearDown() override
    {
        dlg.reset();
        vlt::SetErrorBeepHandler(m_oldBeep);
        DocToolsTest::TearDown();
    }
    template <class W>
    W* Item(const char* name) { return dlg->findChild<W*>(name); }
    void Type(const char* name, const QString& text) { Item<QLineEdit>(name)->setText(text); }
    void TypeAdcRegister(const QString& text) { Item<QComboBox>("adcRegister")->setEditText(text); }
    void Click(const char* name) { QTest::mouseClick(Item<QPushButton>(name), Qt::LeftButton); }
    std::wstring Prefixed(const std::wstring& text) { return BoardName(device) + L": " + text; }

    TQ8_HANDLE device = nullptr;
    std::unique_ptr<CSdRegIoDlg> dlg;
    std::vector<AdcWrite> writes;
    uint32_t failOn = 0xFFFFFFFF;
    int beeps = 0;

private:
    std::function<void()> m_oldBeep;
};

} // namespace

TEST_F(SdRegIoTest, StartsOnCalibrationRegister)
{
    EXPECT_EQ(dlg->windowTitle(), "TQ3300 Serial Device IO");
    EXPECT_EQ(Item<QComboBox>("adcRegister")->count(), 9);
    EXPECT_EQ(Item<QComboBox>("adcRegister")->itemText(8), "15 : Phase Coarse Adj.");
    EXPECT_EQ(dlg->AdcRegister(), 0);
    EXPECT_EQ(Item<QLabel>("adcPlacement")->text(), "(L0.0)");
    EXPECT_TRUE(Item<QPushButton>("adcWrite")->isEnabled());
    EXPECT_FALSE(Item<QPushButton>("cgRead")->isEnabled());
    EXPECT_FALSE(Item<QPushButton>("cgWrite")->isEnabled());
}

TEST_F(SdRegIoTest, ClockGenRegisterEnablesReadAndWrite)
{
    for (const char* text : {"0x230", "560"}) {
        Type("cgRegister", text);
        EXPECT_TRUE(Item<QPushButton>("cgRead")->isEnabled()) << text;
        EXPECT_TRUE(Item<QPushButton>("cgWrite")->isEnabled()) << text;
        EXPECT_EQ(dlg->ClockGenPlacement().logical, 19u);
        EXPECT_EQ(dlg->ClockGenPlacement().sub, 2u);
    }
    for (const char* text : {"561", "5", "word", "-1", ""}) {
        Type("cgRegister", text);
        EXPECT_FALSE(Item<QPushButton>("cgRead")->isEnabled()) << text;
        EXPECT_FALSE(Item<QPushButton>("cgWrite")->isEnabled()) << text;
        EXPECT_EQ(dlg->ClockGenRegister(), -1);
    }
    EXPECT_FALSE(dlg->ReadClockGenRegister());
    EXPECT_EQ(beeps, 1);
}

TEST_F(SdRegIoTest, AdcRegisterTypedOrChosen)
{
    TypeAdcRegister("15");
    EXPECT_EQ(Item<QLabel>("adcPlacement")->text(), "(L4.1)");
    TypeAdcRegister("4");
    EXPECT_FALSE(Item<QPushButton>("adcWrite")->isEnabled());
    EXPECT_TRUE(Item<QLabel>("adcPlacement")->text().isEmpty());
    EXPECT_FALSE(dlg->WriteAdcRegister());
    EXPECT_EQ(beeps, 1);
    QComboBox* list = Item<QComboBox>("adcRegister");
    list->setCurrentIndex(5);
    emit list->activated(5);
    EXPECT_EQ(dlg->AdcRegister(), 10);
    EXPECT_EQ(Item<QLabel>("adcPlacement")->text(), "(L3.0)");
}

TEST_F(SdRegIoTest, AdcValueLimits)
{
    TypeAdcRegister("0x3");
    Item<QComboBox>("adcIndex")->setCurrentIndex(1);
    Type("adcValue", "65535");
    Click("adcWrite");
    ASSERT_EQ(writes, (std::vector<AdcWrite>{{1, 3, 0xFFFFFFFF, 65535, 1, 1}}));
    EXPECT_EQ(boxes.Count(), 0u);
    const uint32_t* words = nullptr;
    ASSERT_EQ(GetRegSetTQ8(device, 4, &words), TQ8_OK);
    EXPECT_EQ(words[1] >> 16, 0xFFFFu);

    Type("adcValue", "65536");
    Click("adcWrite");
    EXPECT_EQ(boxes.LastText(), L"ADC register value is too large. [0, 65535]");
    for (const char* bad : {"-1", "4294967296", "abc"}) {
        boxes.Clear();
        Type("adcValue", bad);
        Click("adcWrite");
        ASSERT_EQ(boxes.Count(), 1u) << bad;
        EXPECT_NE(boxes.LastText().find(L"ADC register value"), std::wstring::npos) << bad;
        EXPECT_EQ(boxes.LastText().find(L"too large"), std::wstring::npos) << bad;
    }
    EXPECT_EQ(writes.size(), 1u);

    failOn = 3;
    Type("adcValue", "1");
    Click("adcWrite");
    EXPECT_EQ(boxes.LastText().rfind(Prefixed(L"Failed to write ADC register: "), 0), 0u);
}

TEST_F(SdRegIoTest, InitialisationStopsAtTheFirstFailure)
{
    failOn = 9;
    Click("initAdcs");
    ASSERT_EQ(writes.size(), 5u);
    EXPECT_EQ(writes[0], (AdcWrite{0, 0, 0xFFFF, 0x7FFF, 0, 0}));
    EXPECT_EQ(writes[3], (AdcWrite{0, 3, 0xFFFF, 0x807F, 1, 1}));
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText().rfind(Prefixed(L"Failed to write ADC register 9: "), 0), 0u);
    const uint32_t* words = nullptr;
    ASSERT_EQ(GetRegSetTQ8(device, 3, &words), TQ8_OK);
    EXPECT_EQ(words[0], 0xB2FF7FFFu);
    EXPECT_EQ(words[1], 0x807F007Fu);

    writes.clear();
    boxes.Clear();
    failOn = 0xFFFFFFFF;
    EXPECT_TRUE(dlg->InitializeAllAdcRegisters());
    EXPECT_EQ(writes.size(), 9u);
    EXPECT_EQ(writes.back(), (AdcWrite{0, 15, 0xFFFF, 0x007F, 4, 1}));
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(SdRegIoTest, ClockGenWriteAndReadBack)
{
    Item<QComboBox>("cgIndex")->setCurrentIndex(1);
    Type("cgRegister", "0x19B");
    Type("cgValue", "256");
    Click("cgWrite");
    EXPECT_EQ(boxes.LastText(), L"CG register value is too large. [0, 255]");
    Type("cgValue", "0xA5");
    Click("cgWrite");
    EXPECT_EQ(boxes.Count(), 1u);
    Click("cgRead");
    EXPECT_EQ(Item<QLineEdit>("cgResult")->text(), "0xA5 (165)");
    const uint32_t* words = nullptr;
    ASSERT_EQ(GetRegSetTQ8(device, 2, &words), TQ8_OK);
    EXPECT_EQ((words[16] >> 8) & 0xFF, 0xA5u);
    Type("cgValue", "255");
    Click("cgWrite");
    Click("cgRead");
    EXPECT_EQ(Item<QLineEdit>("cgResult")->text(), "0xFF (255)");
    EXPECT_EQ(boxes.Count(), 1u);
}

TEST_F(SdRegIoTest, ClockGenFailuresNameThePlacement)
{
    Type("cgRegister", "0x0F4");
    Item<QLineEdit>("cgResult")->setText("kept");
    ASSERT_EQ(TQ8Sim_InjectResult("ReadClockGenRegTQ8", -9, 1), TQ8_OK);
    Click("cgRead");
    EXPECT_EQ(boxes.LastText().rfind(Prefixed(L"Failed to read clock gen register (Log idx: 10, Byte idx: 0): "), 0),
              0u);
    EXPECT_EQ(Item<QLineEdit>("cgResult")->text(), "kept");
    ASSERT_EQ(TQ8Sim_InjectResult("WriteClockGenRegTQ8", -9, 1), TQ8_OK);
    Type("cgValue", "1");
    Click("cgWrite");
    EXPECT_EQ(boxes.LastText().rfind(Prefixed(L"Failed to write clock gen register (Log idx: 10, Byte idx: 0): "), 0),
              0u);
}
