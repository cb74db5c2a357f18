#include <dlfcn.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "CFormView_Scope.h"
#include "CForm_Action.h"
#include "CForm_Clocks.h"
#include "ClocksFormRules.h"
#include "ErrorBox.h"
#include "FormTestSupport.h"
#include "Hub6Sim.h"
#include "InprocServer.h"
#include "ValueFormat.h"

namespace {

using form_test::FormDoc;

TEST(ClocksFormRules, DividerTableKeepsTheLargestFirstDivider)
{
    const auto& table = clocksform::DividerTable();
    EXPECT_EQ(table.begin()->first, 1u);
    EXPECT_EQ(table.rbegin()->first, 192u);
    EXPECT_EQ(table.count(7 * 7), 0u); // 49 cannot be formed
    EXPECT_EQ(table.at(6), clocksform::PackDividers(6, 1));
    EXPECT_EQ(table.at(64), clocksform::PackDividers(32, 2));
    EXPECT_EQ(table.at(192), clocksform::PackDividers(32, 6));
    EXPECT_EQ(clocksform::PackDividers(32, 6), 0x00060020u);
    EXPECT_EQ(clocksform::DividerText(32, 2), L"÷64 (÷32÷2)");
}

TEST(ClocksFormRules, DividerSelectionFallsBackToTheProduct)
{
    const auto items = clocksform::DividerListItems(0.0);
    ASSERT_EQ(items.size(), clocksform::DividerTable().size());
    EXPECT_EQ(items[5].text, L"Ext. rate ÷ 6");
    EXPECT_EQ(clocksform::DividerSelection(items, 6, 1), 5);
    EXPECT_EQ(clocksform::DividerSelection(items, 3, 2), 5); // same product, other pair
    EXPECT_EQ(clocksform::DividerSelection(clocksform::DividerListItems(1000.0), 3, 2), -1);
}

class ClocksFormTest : public form_test::FormTest {
protected:
    CForm_Clocks& NewForm(FormDoc& doc)
    {
        auto& form = Show(new CForm_Clocks(doc));
        form.OnInitialUpdate();
        return form;
    }
    QLineEdit* Edit(CForm_Clocks& form, int id) { return form.ItemAs<QLineEdit>(id); }
    QComboBox* Combo(CForm_Clocks& form, int id) { return form.ItemAs<QComboBox>(id); }
};

TEST_F(ClocksFormTest, SourceChangeWaitsForThePllAndSetsTheEnables)
{
    FormDoc& doc = NewDoc();
    const TQ8_HANDLE device = doc.GetDeviceHandle();
    CForm_Clocks& form = NewForm(doc);
    EXPECT_EQ(Edit(form, CForm_Clocks::kInternalRateId)->text(), QStringLiteral("1500.000"));
    EXPECT_TRUE(form.Item(CForm_Clocks::kInternalRateId)->isEnabled());
    EXPECT_FALSE(form.Item(CForm_Clocks::kExternalRateId)->isEnabled());
    EXPECT_EQ(Combo(form, CForm_Clocks::kDividersId)->count(), 0);
    EXPECT_EQ(form.ItemAs<QLabel>(CForm_Clocks::kInternalRangeId)->text(), QStringLiteral("MHz [200, 1500]"));
    EXPECT_EQ(form.ItemAs<QLabel>(CForm_Clocks::kExternalRateLabelId)->text(), QStringLiteral("E&xternal clock rate:"));

    Choose(Combo(form, CForm_Clocks::kClockSourceId), 1);
    EXPECT_EQ(GetAdcClockSourceTQ8(device, 0), 1);
    EXPECT_EQ(doc.LastText(), L"ADC clock source updated");
    EXPECT_EQ(doc.CountTexts(L"Waiting for PLL to lock..."), 0u);
    EXPECT_EQ(doc.CountHints(dochint::kClock), 1u);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_FALSE(form.Item(CForm_Clocks::kInternalRateId)->isEnabled());
    EXPECT_FALSE(form.Item(CForm_Clocks::kReferenceId)->isEnabled());
    EXPECT_TRUE(form.Item(CForm_Clocks::kExternalRateId)->isEnabled());
    EXPECT_TRUE(form.Item(CForm_Clocks::kDividersId)->isEnabled());
    // An external rate of 0 lists every product.
    EXPECT_EQ(Combo(form, CForm_Clocks::kDividersId)->count(), int(clocksform::DividerTable().size()));
    EXPECT_EQ(Combo(form, CForm_Clocks::kDividersId)->currentText(), QStringLiteral("Ext. rate ÷ 1"));

    // Back to internal: the PLL text without time-out first.
    doc.texts.clear();
    doc.timeouts.clear();
    Choose(Combo(form, CForm_Clocks::kClockSourceId), 0);
    ASSERT_GE(doc.texts.size(), 2u);
    EXPECT_EQ(doc.texts[0], L"Waiting for PLL to lock...");
    EXPECT_EQ(doc.timeouts[0], 0u);
    EXPECT_EQ(doc.LastText(), L"ADC clock source updated");

    // Refused: the waiting text is cleared before the box, the source shown again.
    ASSERT_EQ(SetAdcClockSourceTQ8(device, 1), 0);
    ASSERT_EQ(TQ8Sim_InjectResult("SetAdcClockSourceTQ8", TQ8_ERR_GENERAL, 1), TQ8_OK);
    doc.texts.clear();
    Choose(Combo(form, CForm_Clocks::kClockSourceId), 0);
    EXPECT_EQ(doc.texts, (std::vector<std::wstring>{L"Waiting for PLL to lock...", L""}));
    EXPECT_EQ(boxes.LastText(), form_test::BoxText(TQ8_ERR_GENERAL, L"Failed to change ADC clock source: "));
    EXPECT_EQ(Combo(form, CForm_Clocks::kClockSourceId)->currentIndex(), 1);
}

TEST_F(ClocksFormTest, InternalRateIsCheckedAppliedAndReadBack)
{
    FormDoc& doc = NewDoc();
    const TQ8_HANDLE device = doc.GetDeviceHandle();
    CForm_Clocks& form = NewForm(doc);

    Enter(Edit(form, CForm_Clocks::kInternalRateId), "1000");
    EXPECT_EQ(doc.texts.front(), L"Editing internal clock rate. Press ENTER to apply changes");
    EXPECT_EQ(doc.CountTexts(L"Waiting for PLL to lock..."), 1u);
    EXPECT_EQ(doc.LastText(), L"Internal clock acqiusition rate updated");
    EXPECT_EQ(doc.CountHints(dochint::kClock), 1u);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(Edit(form, CForm_Clocks::kInternalRateId)->text(), QStringLiteral("1000.000"));

    // The rate the board has: rewritten, no setter.
    ASSERT_EQ(TQ8Sim_InjectResult("SetInternalAdcClockRateTQ8", TQ8_ERR_GENERAL, 1), TQ8_OK);
    doc.texts.clear();
    Enter(Edit(form, CForm_Clocks::kInternalRateId), "1000.0");
    EXPECT_EQ(doc.LastText(), L"");
    EXPECT_EQ(Edit(form, CForm_Clocks::kInternalRateId)->text(), QStringLiteral("1000.000"));
    EXPECT_EQ(boxes.Count(), 0u);

    // Not a rate, including what the C library would take for one.
    for (const char* text : {"abc", "nan", "inf", "-inf", "1e999"}) {
        boxes.Clear();
        Enter(Edit(form, CForm_Clocks::kInternalRateId), text);
        ASSERT_EQ(boxes.Count(), 1u) << text;
        EXPECT_EQ(boxes.LastText(), L"Please enter a valid acquisition rate");
        EXPECT_EQ(boxes.Boxes().back().style & MB_ICONMASK, MB_ICONERROR);
        EXPECT_TRUE(Edit(form, CForm_Clocks::kInternalRateId)->hasFocus());
    }
    double rate = 0;
    GetInternalAdcClockRateTQ8(device, &rate, 0);
    EXPECT_EQ(rate, 1000.0);

    // The injected failure is still waiting: the box, the board's rate again,
    // and the clock is still passed on.
    boxes.Clear();
    doc.hints.clear();
    Enter(Edit(form, CForm_Clocks::kInternalRateId), "1200");
    EXPECT_EQ(boxes.LastText(), form_test::BoxText(TQ8_ERR_GENERAL, L"Failed to set internal clock rate: "));
    EXPECT_NE(doc.LastText(), L"Waiting for PLL to lock...");
    EXPECT_EQ(Edit(form, CForm_Clocks::kInternalRateId)->text(), QStringLiteral("1000.000"));
    EXPECT_EQ(doc.CountHints(dochint::kClock), 1u);
}

TEST_F(ClocksFormTest, DividerListFollowsTheExternalRate)
{
    FormDoc& doc = NewDoc();
    const TQ8_HANDLE device = doc.GetDeviceHandle();
    ASSERT_EQ(SetAdcClockSourceTQ8(device, 1), 0);
    ASSERT_EQ(SetExtClockDividersTQ8(device, 2, 2), 0);
    CForm_Clocks& form = NewForm(doc);
    EXPECT_EQ(form.ItemAs<QLabel>(CForm_Clocks::kDividerTextId)->text(), QStringLiteral("÷4 (÷2÷2)"));

    Enter(Edit(form, CForm_Clocks::kExternalRateId), "1000");
    EXPECT_EQ(doc.LastText(), L"External clock rate updated");
    QComboBox* list = Combo(form, CForm_Clocks::kDividersId);
    ASSERT_EQ(list->count(), 5);
    EXPECT_EQ(list->itemText(0), QStringLiteral("1000.000 MHz"));
    EXPECT_EQ(list->itemText(4), QStringLiteral("200.000 MHz"));
    EXPECT_EQ(list->currentIndex(), 3); // 2 x 2, held as 4 x 1
    EXPECT_EQ(list->itemData(3).toUInt(), clocksform::PackDividers(4, 1));

    doc.hints.clear();
    Choose(list, 2);
    EXPECT_EQ(doc.LastText(), L"Clock dividers updated (div1:3, div2:1)");
    EXPECT_EQ(GetExtClockDivider1TQ8(device, 0), 3);
    EXPECT_EQ(form.ItemAs<QLabel>(CForm_Clocks::kDividerTextId)->text(), QStringLiteral("÷3 (÷3÷1)"));
    EXPECT_EQ(doc.CountHints(dochint::kClock), 1u); // the acquisition rate changed
    EXPECT_EQ(list->currentIndex(), 2);

    ASSERT_EQ(TQ8Sim_InjectResult("SetExtClockDividersTQ8", TQ8_ERR_GENERAL, 1), TQ8_OK);
    Choose(list, 4);
    EXPECT_EQ(boxes.LastText(), form_test::BoxText(TQ8_ERR_GENERAL, L"Failed to set clock dividers: "));
    EXPECT_EQ(list->currentIndex(), 2);

    // Not a rate: refused before the board is touched.
    boxes.Clear();
    Enter(Edit(form, CForm_Clocks::kExternalRateId), "nan");
    EXPECT_EQ(boxes.LastText(), L"Please enter a valid external clock rate in MHz");
}

TEST_F(ClocksFormTest, TroubleshootingSwitchesDoNotMarkTheDocument)
{
    FormDoc& doc = NewDoc();
    CForm_Clocks& form = NewForm(doc);
    form.ItemAs<QCheckBox>(CForm_Clocks::kPllDisableId)->click();
    EXPECT_EQ(doc.LastText(), L"PLL disable troubleshooting setting updated");
    form.ItemAs<QCheckBox>(CForm_Clocks::kDcmOverrideId)->click();
    EXPECT_EQ(doc.LastText(), L"Auto DCM reset override updated");
    form.ItemAs<QPushButton>(CForm_Clocks::kResetDcmsId)->click();
    EXPECT_EQ(doc.LastText(), L"DCMs reset");
    EXPECT_FALSE(doc.IsModified());
    ASSERT_EQ(TQ8Sim_InjectResult("SyncFirmwareToAdcClockTQ8", TQ8_ERR_GENERAL, 1), TQ8_OK);
    form.ItemAs<QPushButton>(CForm_Clocks::kResetDcmsId)->click();
    EXPECT_EQ(boxes.LastText(), form_test::BoxText(TQ8_ERR_GENERAL, L"Failed to reset DCMs: ", doc.GetDeviceHandle()));
    EXPECT_FALSE(form.Item(CForm_Clocks::kFpgaSlaveId)->isEnabled());
    EXPECT_FALSE(form.Item(CForm_Clocks::kPostAdcDividerId)->isVisibleTo(&form));
}

TEST_F(ClocksFormTest, MasterClockReachesItsSlave)
{
    FormDoc& master = NewLocalDoc(61, [](TQ8SIM_BOARD_DESC& d) { d.masterSlave = 1; });
    FormDoc& slave = NewLocalDoc(62, [](TQ8SIM_BOARD_DESC& d) { d.masterSlave = 2; });
    devices->BuildMasterSlaveRelations();
    ASSERT_EQ(devices->GetMaster(slave.GetDeviceHandle()), master.GetDeviceHandle());
    ASSERT_EQ(SetAdcClockSourceTQ8(slave.GetDeviceHandle(), 1), 0);
    auto* slaveForm = new CForm_Clocks(slave);
    slaveForm->OnInitialUpdate();
    EXPECT_EQ(slaveForm->ItemAs<QComboBox>(CForm_Clocks::kClockSourceId)->count(), 4);
    EXPECT_FALSE(slaveForm->Item(CForm_Clocks::kExternalRateId)->isEnabled());
    EXPECT_TRUE(slaveForm->ItemAs<QLineEdit>(CForm_Clocks::kExternalRateId)->text().startsWith(QStringLiteral("Master: ")));
    CForm_Clocks& form = NewForm(master);

    Enter(Edit(form, CForm_Clocks::kInternalRateId), "1000");
    EXPECT_EQ(master.LastText(), L"Slave clocks updated and synchronized");
    EXPECT_EQ(slaveForm->ItemAs<QLineEdit>(CForm_Clocks::kExternalRateId)->text(), QStringLiteral("Master: 1000.000"));
    double rate = 0;
    GetExternalClockRateTQ8(slave.GetDeviceHandle(), &rate, 0);
    EXPECT_EQ(rate, 1000.0);
    EXPECT_TRUE(slave.IsModified());

    // The slave refuses the rate: its error box, field and modified flag as they were.
    slave.SetModified(false);
    ASSERT_EQ(TQ8Sim_InjectResult("SetExternalClockRateTQ8", TQ8_ERR_GENERAL, 1), TQ8_OK);
    slave.hints.clear();
    Enter(Edit(form, CForm_Clocks::kInternalRateId), "1200");
    EXPECT_EQ(boxes.LastText(), form_test::BoxText(TQ8_ERR_GENERAL, L"Failed to set external clock rate: ",
                                                   slave.GetDeviceHandle()));
    EXPECT_EQ(slaveForm->ItemAs<QLineEdit>(CForm_Clocks::kExternalRateId)->text(), QStringLiteral("Master: 1000.000"));
    EXPECT_FALSE(slave.IsModified());
    EXPECT_EQ(slave.CountHints(dochint::kClock), 0u);
    delete slaveForm;
}

TEST_F(ClocksFormTest, RatesFollowAMastersClockWhateverChangedIt)
{
    FormDoc& master = NewLocalDoc(63, [](TQ8SIM_BOARD_DESC& d) { d.masterSlave = 1; });
    FormDoc& slave = NewLocalDoc(64, [](TQ8SIM_BOARD_DESC& d) { d.masterSlave = 2; });
    FormDoc& other = NewDoc();
    devices->BuildMasterSlaveRelations();
    ASSERT_EQ(SetAdcClockSourceTQ8(slave.GetDeviceHandle(), 2), 0); // clocked by its master
    CForm_Clocks slaveClocks(slave);
    slaveClocks.OnInitialUpdate();
    CForm_Action slaveAction(slave);
    slaveAction.OnInitialUpdate();
    CForm_Action otherAction(other);
    otherAction.OnInitialUpdate();
    const auto masterField = [&] { return slaveClocks.ItemAs<QLineEdit>(CForm_Clocks::kExternalRateId)->text(); };
    const auto rate = [](CForm_Action& form) { return qobject_cast<QLabel*>(form.Item(CForm_Action::kRateId))->text(); };
    const auto mhz = [](double r) { return ToQt(FormatFrequencyMHz(r)); };
    // From the start the slave shows the rate its master gives it.
    EXPECT_EQ(masterField(), QStringLiteral("Master: 1500.000"));
    EXPECT_EQ(rate(slaveAction), mhz(1500.0));

    CForm_Clocks& masterClocks = NewForm(master);
    Enter(Edit(masterClocks, CForm_Clocks::kInternalRateId), "500");
    EXPECT_EQ(masterField(), QStringLiteral("Master: 500.000"));
    EXPECT_EQ(rate(slaveAction), mhz(500.0));

    // A board given the master's settings runs at its rate and says so.
    ASSERT_EQ(other.CopySettingsFrom(master), 0);
    EXPECT_EQ(rate(otherAction), mhz(500.0));
    // Settings copied onto the master move its slave as well.
    ASSERT_EQ(SetInternalAdcClockRateTQ8(other.GetDeviceHandle(), 800.0), 0);
    ASSERT_EQ(master.CopySettingsFrom(other), 0);
    EXPECT_EQ(masterField(), QStringLiteral("Master: 800.000"));
    EXPECT_EQ(rate(slaveAction), mhz(800.0));
}

#ifdef HUB6COM_LIBRARY_PATH
// Boards clocked by a simulated sync device of the component library.
class ClocksSyncTest : public ClocksFormTest {
protected:
    void SetUp() override
    {
        ClocksFormTest::SetUp();
        m_lib = dlopen(HUB6COM_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(m_lib, nullptr) << dlerror();
        auto reg = reinterpret_cast<PfnDllRegisterServer>(dlsym(m_lib, "DllRegisterServer"));
        m_reset = reinterpret_cast<PfnHub6SimReset>(dlsym(m_lib, "Hub6Sim_Reset"));
        ASSERT_TRUE(reg && m_reset);
        ASSERT_EQ(reg(), S_OK);
        m_reset();
        ForgetHub6SoftwareState();
        sync = std::make_unique<CVltHub6Mgr>();
        sync->SetDeviceManager(devices.get());
    }
    void TearDown() override
    {
        window.reset();
        sync.reset();
        if (m_reset)
            m_reset();
        ForgetHub6SoftwareState();
        ClocksFormTest::TearDown();
    }
    std::unique_ptr<CVltHub6Mgr> sync;

private:
    void* m_lib = nullptr;
    PfnHub6SimReset m_reset = nullptr;
};

TEST_F(ClocksSyncTest, SyncDeviceRateIsSetOnTheDevice)
{
    FormDoc& doc = NewLocalDoc(71, [](TQ8SIM_BOARD_DESC& d) { d.syncConfig = 1; });
    doc.syncManager = sync.get();
    const int32_t id = sync->AddVirtual();
    ASSERT_NE(id, 0);
    ASSERT_TRUE(sync->FindInstance(id)->SetOutputDevice(0, doc.GetDeviceHandle()));
    ASSERT_TRUE(doc.HasSyncOutput());
    ASSERT_EQ(SetAdcClockSourceTQ8(doc.GetDeviceHandle(), 1), 0);
    CForm_Clocks& form = NewForm(doc);
    EXPECT_EQ(form.ItemAs<QLabel>(CForm_Clocks::kExternalRateLabelId)->text(), QStringLiteral("HUB3300 clock rate:"));
    EXPECT_EQ(Edit(form, CForm_Clocks::kExternalRateId)->text(), QStringLiteral("1500.000"));

    Enter(Edit(form, CForm_Clocks::kExternalRateId), "1200");
    EXPECT_EQ(doc.LastText(), L"HUB3300 clock rate updated");
    double rate = 0;
    ASSERT_TRUE(SUCCEEDED(sync->FindInstance(id)->GetObject()->GetDeviceClockRate(&rate)));
    EXPECT_EQ(rate, 1200.0);
    EXPECT_EQ(Edit(form, CForm_Clocks::kExternalRateId)->text(), QStringLiteral("1200.000"));

    // The device refuses: its own reason, the device's rate back in the field.
    // (Divided by five, the board could run on 7000 MHz.)
    ASSERT_EQ(SetExtClockDividersTQ8(doc.GetDeviceHandle(), 5, 1), 0);
    Enter(Edit(form, CForm_Clocks::kExternalRateId), "7000");
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText().rfind(L"Failed to set HUB3300 clock frequency: ", 0), 0u);
    EXPECT_NE(boxes.LastText().find(L"out of range"), std::wstring::npos) << vlt::WideToUtf8(boxes.LastText());
    EXPECT_EQ(Edit(form, CForm_Clocks::kExternalRateId)->text(), QStringLiteral("1200.000"));

    boxes.Clear();
    Enter(Edit(form, CForm_Clocks::kExternalRateId), "inf");
    EXPECT_EQ(boxes.LastText(), L"Please enter a valid HUB3300 clock rate in MHz");
}

// A rate that the bound board cannot run at is refused, as the internal
// clock's field refuses one, and leaves the unit and the board as they were.
TEST_F(ClocksSyncTest, ARateTheBoardCannotRunAtIsRefused)
{
    FormDoc& doc = NewLocalDoc(73, [](TQ8SIM_BOARD_DESC& d) { d.syncConfig = 1; });
    doc.syncManager = sync.get();
    const TQ8_HANDLE h = doc.GetDeviceHandle();
    const int32_t id = sync->AddVirtual();
    ASSERT_TRUE(sync->FindInstance(id)->SetOutputDevice(0, h));
    ASSERT_EQ(SetAdcClockSourceTQ8(h, 1), 0);
    CForm_Clocks& form = NewForm(doc);
    Enter(Edit(form, CForm_Clocks::kExternalRateId), "1000");
    ASSERT_EQ(boxes.Count(), 0u);
    for (const auto& [typed, code] : {std::pair{"6000", TQ8_ERR_RATE_TOO_HIGH}, std::pair{"50", TQ8_ERR_RATE_TOO_LOW}}) {
        SCOPED_TRACE(typed);
        boxes.Clear();
        Enter(Edit(form, CForm_Clocks::kExternalRateId), typed);
        std::wstring reason;
        FormatDeviceErrorText(reason, code, nullptr, h);
        ASSERT_EQ(boxes.Count(), 1u);
        EXPECT_EQ(boxes.LastText(), L"Failed to set HUB3300 clock frequency: " + reason);
        EXPECT_EQ(Edit(form, CForm_Clocks::kExternalRateId)->text(), QStringLiteral("1000.000"));
        double rate = 0;
        ASSERT_EQ(GetActualAdcAcqRateTQ8(h, &rate), 0);
        EXPECT_EQ(rate, 1000.0);
        ASSERT_TRUE(SUCCEEDED(sync->FindInstance(id)->GetObject()->GetDeviceClockRate(&rate)));
        EXPECT_EQ(rate, 1000.0);
    }
    // Divided by four, 6000 MHz is a rate the board runs at.
    ASSERT_EQ(SetExtClockDividersTQ8(h, 4, 1), 0);
    boxes.Clear();
    Enter(Edit(form, CForm_Clocks::kExternalRateId), "6000");
    EXPECT_EQ(boxes.Count(), 0u);
    double rate = 0;
    ASSERT_EQ(GetActualAdcAcqRateTQ8(h, &rate), 0);
    EXPECT_EQ(rate, 1500.0);
}

// A unit's rate is taken while its board runs on its own clock; the board
// then moves onto the unit's clock only where it runs at what that gives it.
TEST_F(ClocksSyncTest, ASourceOrDividersThatTheUnitsClockWouldDriveOutOfRangeAreRefused)
{
    FormDoc& doc = NewLocalDoc(74, [](TQ8SIM_BOARD_DESC& d) { d.syncConfig = 1; });
    doc.syncManager = sync.get();
    const TQ8_HANDLE h = doc.GetDeviceHandle();
    CVltHub6Mgr::CSyncInst* unit = sync->FindInstance(sync->AddVirtual());
    ASSERT_TRUE(unit && unit->SetOutputDevice(0, h));
    CForm_Clocks& form = NewForm(doc);
    QComboBox* source = Combo(form, CForm_Clocks::kClockSourceId);
    auto adcRate = [h] {
        double rate = 0;
        EXPECT_EQ(GetActualAdcAcqRateTQ8(h, &rate), 0);
        return rate;
    };
    for (const auto& [unitRate, code] : {std::pair{100.0, TQ8_ERR_RATE_TOO_LOW}, std::pair{3000.0, TQ8_ERR_RATE_TOO_HIGH}}) {
        SCOPED_TRACE(unitRate);
        ASSERT_TRUE(unit->SetClockRate(unitRate)); // the board is on its own clock
        boxes.Clear();
        Choose(source, TQ8_CLOCK_EXTERNAL);
        ASSERT_EQ(boxes.Count(), 1u);
        EXPECT_EQ(boxes.LastText(), form_test::BoxText(code, L"Failed to change ADC clock source: "));
        EXPECT_EQ(GetAdcClockSourceTQ8(h, 0), TQ8_CLOCK_INTERNAL);
        EXPECT_EQ(source->currentIndex(), TQ8_CLOCK_INTERNAL);
        EXPECT_EQ(adcRate(), 1500.0);
    }
    // Halved, 3000 MHz is a rate the board runs at; without the halving it is not.
    ASSERT_EQ(SetExtClockDividersTQ8(h, 2, 1), 0);
    boxes.Clear();
    Choose(source, TQ8_CLOCK_EXTERNAL);
    EXPECT_EQ(boxes.Count(), 0u);
    EXPECT_EQ(adcRate(), 1500.0);
    QComboBox* dividers = Combo(form, CForm_Clocks::kDividersId);
    const int halved = dividers->currentIndex();
    ASSERT_EQ(dividers->itemText(0), QStringLiteral("3000.000 MHz"));
    Choose(dividers, 0);
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText(), form_test::BoxText(TQ8_ERR_RATE_TOO_HIGH, L"Failed to set clock dividers: "));
    EXPECT_EQ(GetExtClockDivider1TQ8(h, 0), 2);
    EXPECT_EQ(dividers->currentIndex(), halved);
    EXPECT_EQ(adcRate(), 1500.0);
}

TEST_F(ClocksSyncTest, BoardOnTheSyncDevicesClockReportsItsRateAndThePlotShowsTimes)
{
    FormDoc& doc = NewLocalDoc(72, [](TQ8SIM_BOARD_DESC& d) { d.syncConfig = 1; });
    doc.syncManager = sync.get();
    const int32_t id = sync->AddVirtual();
    ASSERT_NE(id, 0);
    ASSERT_EQ(sync->FindInstance(id)->GetObject()->SetDeviceClockRate(1000.0), S_OK);
    ASSERT_TRUE(sync->FindInstance(id)->SetOutputDevice(0, doc.GetDeviceHandle()));
    CFormView_Scope panel(doc);
    panel.OnInitialUpdate();
    CForm_Clocks& form = NewForm(doc);
    // The user picks the sync device's clock: the board now runs on it.
    Choose(Combo(form, CForm_Clocks::kClockSourceId), 1);
    double rate = 0;
    ASSERT_EQ(GetActualAdcAcqRateTQ8(doc.GetDeviceHandle(), &rate), 0);
    EXPECT_EQ(rate, 1000.0);
    EXPECT_EQ(panel.GetLabelInfo().samplingRateMHz, 1000.0);
    std::wstring text;
    ASSERT_TRUE(panel.XAxisLabel(1000, text));
    EXPECT_EQ(text, L"1\u00b5s");
}
#endif

} // namespace
