#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "CForm_Troubleshooting.h"
#include "FormTestSupport.h"

namespace {

using form_test::FormDoc;

class TroubleshootingFormTest : public form_test::FormTest {
protected:
    CForm_Troubleshooting& NewForm(FormDoc& doc)
    {
        auto& form = Show(new CForm_Troubleshooting(doc));
        form.OnInitialUpdate();
        return form;
    }
    static QStringList Items(QComboBox* combo)
    {
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        return items;
    }
    static void Set(CForm_Troubleshooting& form, int id, const char* text)
    {
        form.ItemAs<QLineEdit>(id)->setText(QString::fromLatin1(text));
    }
    static void Click(CForm_Troubleshooting& form, int id) { form.ItemAs<QPushButton>(id)->click(); }
    static uint16_t EepromWord(TQ8_HANDLE device, uint32_t word)
    {
        uint16_t value = 0;
        EXPECT_EQ(InternReadConfigEepromTQ8(device, word, &value), 0);
        return value;
    }
    static uint16_t Checksum(TQ8_HANDLE device)
    {
        uint16_t sum = 0;
        for (uint32_t w = 0; w < 127; ++w)
            sum = uint16_t(sum + EepromWord(device, w));
        return sum;
    }
};

TEST_F(TroubleshootingFormTest, BarChoiceRefillsTheRegisterListOnlyWhenItChanges)
{
    CForm_Troubleshooting& form = NewForm(NewDoc());
    auto* bar = form.ItemAs<QComboBox>(CForm_Troubleshooting::kBarId);
    auto* reg = form.ItemAs<QComboBox>(CForm_Troubleshooting::kRegisterId);
    EXPECT_EQ(bar->currentIndex(), 1);
    EXPECT_EQ(reg->count(), 21);
    EXPECT_EQ(reg->itemText(20), QStringLiteral("48 : Clock Gen #2"));
    Choose(bar, 2);
    EXPECT_EQ(Items(reg), (QStringList{QStringLiteral("0  : EEPROM"), QStringLiteral("1  : JTAG")}));
    EXPECT_EQ(reg->currentIndex(), 0);
    reg->setCurrentIndex(1);
    Choose(bar, 2);
    EXPECT_EQ(reg->currentIndex(), 1);
    Choose(bar, 0);
    EXPECT_EQ(reg->count(), 17);
    EXPECT_EQ(form.ItemAs<QLineEdit>(CForm_Troubleshooting::kStopSampleId)->text(), QStringLiteral("32"));
}

TEST_F(TroubleshootingFormTest, RawWriteTakesTheNumberBeforeTheColonAndReadShowsIt)
{
    FormDoc& doc = NewDoc();
    CForm_Troubleshooting& form = NewForm(doc);
    form.ItemAs<QComboBox>(CForm_Troubleshooting::kRegisterId)->setEditText(QStringLiteral("0x10 : any words"));
    Set(form, CForm_Troubleshooting::kValueId, "0x123");
    Click(form, CForm_Troubleshooting::kWriteId);
    EXPECT_TRUE((boxes.Count() == 0));
    EXPECT_EQ(doc.LastText(), L"Device register written");
    EXPECT_EQ(doc.CountHints(dochint::kBoardSettings), 1u);
    uint32_t value = 0;
    ASSERT_EQ(_RawRegReadTQ8(doc.GetDeviceHandle(), 1, 16, &value), 0);
    EXPECT_EQ(value, 0x123u);
    Click(form, CForm_Troubleshooting::kReadId);
    EXPECT_EQ(form.ItemAs<QLineEdit>(CForm_Troubleshooting::kResultId)->text(), QStringLiteral("Reg 16: 0x00000123 (291)"));

    Set(form, CForm_Troubleshooting::kValueId, "twelve");
    Click(form, CForm_Troubleshooting::kWriteId);
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_NE(boxes.Boxes()[0].text.find(L"register value"), std::wstring::npos);
}

TEST_F(TroubleshootingFormTest, MinimumSnrMustBeOneFiniteNumber)
{
    FormDoc& doc = NewDoc();
    CForm_Troubleshooting& form = NewForm(doc);
    auto* snr = form.ItemAs<QLineEdit>(CForm_Troubleshooting::kMinSnrId);
    const double before = doc.GetMinSnrThreshold();
    for (const char* bad : {"12dB", "nan", "inf"}) {
        Enter(snr, bad);
        ASSERT_FALSE((boxes.Count() == 0)) << bad;
        EXPECT_EQ(boxes.LastText(), L"Bad minimum SNR value.");
    }
    EXPECT_EQ(boxes.Count(), 3u);
    EXPECT_EQ(doc.GetMinSnrThreshold(), before);
    Enter(snr, "42.5");
    EXPECT_EQ(doc.GetMinSnrThreshold(), 42.5);
    EXPECT_EQ(doc.LastText(), L"Minimum SNR threshold updated");
}

TEST_F(TroubleshootingFormTest, WriteSdramStoresWordChecksumAndProgramsTheDelays)
{
    FormDoc& doc = NewDoc();
    const TQ8_HANDLE device = doc.GetDeviceHandle();
    CForm_Troubleshooting& form = NewForm(doc);
    Set(form, CForm_Troubleshooting::kSdram1DelayId, "3");
    Set(form, CForm_Troubleshooting::kSdram2DelayId, "0");
    Click(form, CForm_Troubleshooting::kWriteSdramId);
    EXPECT_TRUE((boxes.Count() == 0));
    EXPECT_EQ(EepromWord(device, 61), 3u);
    EXPECT_EQ(EepromWord(device, 127), Checksum(device));
    EXPECT_EQ(ValidateConfigEepromTQ8(device), 0);
    uint32_t d1 = 99, d2 = 99;
    uint32_t serial = 0;
    ASSERT_EQ(GetSerialNumberTQ8(device, &serial), 0);
    ASSERT_EQ(TQ8Sim_GetInputDelays(serial, &d1, &d2, nullptr), 0);
    EXPECT_EQ(d1, 3u);
    EXPECT_EQ(d2, 0u);
    Click(form, CForm_Troubleshooting::kReadSdramId);
    EXPECT_EQ(form.ItemAs<QLabel>(CForm_Troubleshooting::kSdram1TapsId)->text(), QStringLiteral("3"));
    EXPECT_EQ(form.ItemAs<QLabel>(CForm_Troubleshooting::kSdram2TapsId)->text(), QStringLiteral("0"));
}

TEST_F(TroubleshootingFormTest, DelayAboveOneByteIsRefusedBeforeAnythingIsWritten)
{
    FormDoc& doc = NewDoc();
    const TQ8_HANDLE device = doc.GetDeviceHandle();
    const uint16_t before = EepromWord(device, 61);
    CForm_Troubleshooting& form = NewForm(doc);
    Set(form, CForm_Troubleshooting::kSdram1DelayId, "256");
    Set(form, CForm_Troubleshooting::kSdram2DelayId, "1");
    Click(form, CForm_Troubleshooting::kWriteSdramId);
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_NE(boxes.Boxes()[0].text.find(L"Idelay sdram1"), std::wstring::npos);
    EXPECT_EQ(EepromWord(device, 61), before);
    EXPECT_TRUE(doc.texts.empty());
}

TEST_F(TroubleshootingFormTest, NoChecksumAfterAFailedWriteOrRead)
{
    FormDoc& doc = NewDoc();
    const TQ8_HANDLE device = doc.GetDeviceHandle();
    const uint16_t checksum = EepromWord(device, 127);
    CForm_Troubleshooting& form = NewForm(doc);
    Set(form, CForm_Troubleshooting::kSdram1DelayId, "5");
    Set(form, CForm_Troubleshooting::kSdram2DelayId, "2");
    TQ8Sim_InjectResult("InternWriteConfigEepromTQ8", TQ8_ERR_GENERAL, 1);
    Click(form, CForm_Troubleshooting::kWriteSdramId);
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_NE(boxes.Boxes()[0].text.find(L"Failed to write device register: "), std::wstring::npos);
    EXPECT_EQ(EepromWord(device, 127), checksum);
    EXPECT_EQ(doc.CountTexts(L"EEPROM register written"), 0u);

    TQ8Sim_InjectResult("InternReadConfigEepromTQ8", TQ8_ERR_GENERAL, 1);
    Click(form, CForm_Troubleshooting::kWriteSdramId);
    EXPECT_EQ(boxes.Count(), 2u);
    EXPECT_EQ(EepromWord(device, 61), 2 * 256 + 5);
    EXPECT_EQ(EepromWord(device, 127), checksum);
    TQ8Sim_ClearInjections();
}

TEST_F(TroubleshootingFormTest, FailedAdcSynchronizationShowsTheBoxAndNoSuccess)
{
    FormDoc& doc = NewDoc();
    CForm_Troubleshooting& form = NewForm(doc);
    TQ8Sim_InjectResult("WriteDeviceRegTQ8", TQ8_ERR_GENERAL, 1);
    Click(form, CForm_Troubleshooting::kSyncAdcsId);
    EXPECT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(doc.CountTexts(L"ADCs synchronized"), 0u);
    Click(form, CForm_Troubleshooting::kSyncAdcsId);
    EXPECT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(doc.LastText(), L"ADCs synchronized");
}

TEST_F(TroubleshootingFormTest, RamBypassFollowsTheRegisterAndKeepsItsStateOnFailure)
{
    FormDoc& doc = NewDoc();
    const TQ8_HANDLE device = doc.GetDeviceHandle();
    CForm_Troubleshooting& form = NewForm(doc);
    auto* bypass = form.ItemAs<QCheckBox>(CForm_Troubleshooting::kRamBypassId);
    EXPECT_FALSE(bypass->isChecked());
    bypass->click();
    EXPECT_EQ(doc.LastText(), L"RAM bypass updated");
    uint32_t value = 0;
    ASSERT_EQ(ReadDeviceRegTQ8(device, 6, &value, 3, 0), 0);
    EXPECT_EQ(value & 1u, 1u);

    TQ8Sim_InjectResult("WriteDeviceRegTQ8", TQ8_ERR_GENERAL, 1);
    bypass->click();
    EXPECT_TRUE(bypass->isChecked());
    EXPECT_EQ(boxes.Count(), 1u);

    // A refresh whose register read fails leaves the box as it was.
    ASSERT_EQ(WriteDeviceRegTQ8(device, 6, 1, 0, 0, 0, 0), 0);
    TQ8Sim_InjectResult("ReadDeviceRegTQ8", TQ8_ERR_GENERAL, 1);
    form.Refresh();
    EXPECT_TRUE(bypass->isChecked());
    form.Refresh();
    EXPECT_FALSE(bypass->isChecked());
}

TEST_F(TroubleshootingFormTest, OffsetAdjustmentStopConditionAndGreeting)
{
    FormDoc& doc = NewDoc();
    CForm_Troubleshooting& form = NewForm(doc);
    Set(form, CForm_Troubleshooting::kAdcOffsetId, "10");
    Click(form, CForm_Troubleshooting::kAdcOffsetApplyId);
    EXPECT_EQ(boxes.LastText(), L"Please select a channel to adjust");
    form.ItemAs<QComboBox>(CForm_Troubleshooting::kAdcId)->setCurrentIndex(1);
    Set(form, CForm_Troubleshooting::kAdcOffsetId, "-256");
    Click(form, CForm_Troubleshooting::kAdcOffsetApplyId);
    EXPECT_EQ(boxes.LastText(), L"Please enter an integer in the range [-255,255] for [-45mV,+45mV] offset.");
    Set(form, CForm_Troubleshooting::kAdcOffsetId, "-255");
    Click(form, CForm_Troubleshooting::kAdcOffsetApplyId);
    EXPECT_EQ(doc.LastText(), L"ADC channel offset adjustment applied");

    auto* stop = form.ItemAs<QCheckBox>(CForm_Troubleshooting::kStopOnThresholdId);
    Set(form, CForm_Troubleshooting::kStopSampleId, "x");
    stop->click();
    EXPECT_EQ(beeps, 1);
    EXPECT_FALSE(doc.GetStateFlags() & docstate::kStopOnThreshold);
    Set(form, CForm_Troubleshooting::kStopSampleId, "32");
    stop->setChecked(false);
    stop->click();
    EXPECT_TRUE(doc.GetStateFlags() & docstate::kStopOnThreshold);
    EXPECT_EQ(doc.LastText(), L"Stop on threshold change enabled");

    const size_t shown = boxes.Count();
    Click(form, CForm_Troubleshooting::kGreetingId);
    ASSERT_EQ(boxes.Count(), shown + 1);
    EXPECT_EQ(boxes.LastText(), L"I hope you're having a great day!");
    EXPECT_FALSE(form.Item(CForm_Troubleshooting::kRegisterIoId)->isEnabled());
    EXPECT_FALSE(form.Item(CForm_Troubleshooting::kRegisterCacheId)->isEnabled());
}

TEST_F(TroubleshootingFormTest, RegisterWindowButtonsFollowTheirMakersAndToggleTheWindows)
{
    CMainDoc::ToolWindowFactories saved = CMainDoc::Factories();
    int made = 0;
    auto maker = [&made](CMainDoc&, QWidget* parent) -> QWidget* {
        ++made;
        return new QWidget(parent, Qt::Window);
    };
    CMainDoc::Factories().registerCache = maker;
    CMainDoc::Factories().serialDeviceIo = maker;
    FormDoc& doc = NewDoc();
    CForm_Troubleshooting& form = NewForm(doc);
    ASSERT_TRUE(form.Item(CForm_Troubleshooting::kRegisterCacheId)->isEnabled());
    ASSERT_TRUE(form.Item(CForm_Troubleshooting::kRegisterIoId)->isEnabled());
    Click(form, CForm_Troubleshooting::kRegisterCacheId);
    ASSERT_NE(doc.GetRegisterCacheWindow(), nullptr);
    EXPECT_TRUE(doc.GetRegisterCacheWindow()->isVisible());
    Click(form, CForm_Troubleshooting::kRegisterCacheId);
    EXPECT_FALSE(doc.GetRegisterCacheWindow()->isVisible());
    Click(form, CForm_Troubleshooting::kRegisterIoId);
    ASSERT_NE(doc.GetSerialDeviceIoWindow(), nullptr);
    EXPECT_EQ(made, 2);
    CMainDoc::Factories() = saved;
}

} // namespace
