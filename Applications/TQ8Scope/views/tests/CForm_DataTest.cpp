#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "CForm_Data.h"
#include "EnumTexts.h"
#include "FormTestSupport.h"
#include "IScopeView.h"

namespace {

using form_test::FormDoc;

class FakePlotView : public IDocView, public IScopeView {
public:
    void OnDocumentUpdate(IDocView*, int, void*) override {}
    void ClearPlot() override { ++clears; }
    int clears = 0;
};

class DataFormTest : public form_test::FormTest {
protected:
    CForm_Data& NewForm(FormDoc& doc)
    {
        auto& form = Show(new CForm_Data(doc));
        form.OnInitialUpdate();
        return form;
    }
    void SetRegion(CForm_Data& form, const QString& start, const QString& count)
    {
        form.ItemAs<QLineEdit>(CForm_Data::kStartSampleId)->setText(start);
        form.ItemAs<QComboBox>(CForm_Data::kSampleCountId)->setEditText(count);
    }
    void Choose(QComboBox* combo, int32_t data)
    {
        combo->setCurrentIndex(combo->findData(QVariant::fromValue<qulonglong>(uint64_t(data))));
        emit combo->activated(combo->currentIndex());
    }
    FormDoc& TwoChannelDoc()
    {
        return NewLocalDoc(41, [](TQ8SIM_BOARD_DESC& d) { d.revision = 1; });
    }
};

TEST_F(DataFormTest, RegionIsAppliedAsTheBoardTakesIt)
{
    FormDoc& doc = NewDoc();
    CForm_Data& form = NewForm(doc);
    EXPECT_EQ(doc.GetActionForm(), nullptr);
    auto* count = form.ItemAs<QComboBox>(CForm_Data::kSampleCountId);
    EXPECT_EQ(count->itemText(0), QStringLiteral("0 : Transfer only"));
    EXPECT_EQ(count->currentText(), QStringLiteral("32,768"));

    struct Case {
        const char* start;
        const char* count;
        uint32_t boardStart, boardCount;
        const wchar_t* text;
    };
    const Case cases[] = {
        {"4096", "16,384", 4096, 16384, L""},
        {"0", "FREE RUN", 0, 0, L""},
        {"0", " free_run ", 0, 0, L""},
        {"0", "0 : Transfer only", 0, 0, L""},
        {"1000", "32768", 992, 32768, L"Active memory region updated; starting sample clipped or realigned"},
        {"0", "1000", 0, 1024, L"Active memory region updated; sample count clipped or realigned"},
        {"17", "0x101", 16, 384,
         L"Active memory region updated; starting sample clipped or realigned; sample count clipped or realigned"},
    };
    for (const Case& c : cases) {
        doc.texts.clear();
        SetRegion(form, QString::fromLatin1(c.start), QString::fromLatin1(c.count));
        ASSERT_TRUE(form.ApplyActiveMemoryRegion()) << c.start << " " << c.count;
        uint32_t boardCount = 1, boardStart = 1;
        GetActiveMemoryRegionTQ8(doc.GetDeviceHandle(), &boardCount, &boardStart, 1);
        EXPECT_EQ(boardStart, c.boardStart) << c.count;
        EXPECT_EQ(boardCount, c.boardCount) << c.count;
        EXPECT_EQ(doc.GetStartSample(), c.boardStart);
        EXPECT_EQ(doc.GetSampleCount(), c.boardCount);
        EXPECT_EQ(doc.LastText(), c.text) << c.count;
    }
    // Realigned values are written back with separators.
    SetRegion(form, QStringLiteral("1000"), QStringLiteral("1000"));
    ASSERT_TRUE(form.ApplyActiveMemoryRegion());
    EXPECT_EQ(form.ItemAs<QLineEdit>(CForm_Data::kStartSampleId)->text(), QStringLiteral("992"));
    EXPECT_EQ(count->currentText(), QStringLiteral("1,024"));
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(DataFormTest, CountListOffersOnlyWhatTheBoardHolds)
{
    // 1 GiS of board memory: all of it for four channels, half for one.
    FormDoc& doc = NewLocalDoc(61, [](TQ8SIM_BOARD_DESC& d) { d.ramSize = 1u << 30; });
    CForm_Data& form = NewForm(doc);
    auto* count = form.ItemAs<QComboBox>(CForm_Data::kSampleCountId);
    auto* channels = form.ItemAs<QComboBox>(CForm_Data::kActiveChannelsId);
    Choose(channels, 0);
    EXPECT_EQ(count->itemText(count->count() - 1), QStringLiteral("1,073,741,824"));
    EXPECT_EQ(count->findData(QVariant::fromValue<qulonglong>(2147483648u)), -1);
    // A typed count stays in the field when the list changes.
    count->setEditText(QStringLiteral("5000"));
    Choose(channels, 5);
    EXPECT_EQ(count->itemText(count->count() - 1), QStringLiteral("536,870,912"));
    EXPECT_EQ(count->currentText(), QStringLiteral("5000"));
    Choose(channels, 0);
    EXPECT_EQ(count->itemText(count->count() - 1), QStringLiteral("1,073,741,824"));
}

TEST_F(DataFormTest, RegionThatCannotBeSetStopsTheAcquisition)
{
    FormDoc& doc = NewDoc();
    CForm_Data& form = NewForm(doc);
    // A library call would fail loudly: none is made for invalid fields.
    ASSERT_EQ(TQ8Sim_InjectResult("SetActiveMemoryRegionTQ8", TQ8_ERR_GENERAL, 10), TQ8_OK);
    struct Case {
        const char* start;
        const char* count;
        int field;
        const wchar_t* box;
    };
    const Case cases[] = {
        {"-1", "32768", CForm_Data::kStartSampleId, L"Please enter a valid starting sample."},
        {"abc", "32768", CForm_Data::kStartSampleId, L"Please enter a valid starting sample."},
        {"0", "free runs", CForm_Data::kSampleCountId, L"Please enter a valid total sample count."},
        {"0", "4294967296", CForm_Data::kSampleCountId, L"Please enter a valid total sample count."},
    };
    for (const Case& c : cases) {
        boxes.Clear();
        SetRegion(form, QString::fromLatin1(c.start), QString::fromLatin1(c.count));
        EXPECT_FALSE(doc.StartAcquisition(nullptr));
        ASSERT_EQ(boxes.Count(), 1u);
        EXPECT_EQ(boxes.LastText().rfind(c.box, 0), 0u) << c.start << " " << c.count;
        EXPECT_TRUE(form.Item(c.field)->hasFocus() || form.Item(c.field)->isAncestorOf(QApplication::focusWidget()));
        EXPECT_TRUE(doc.IsIdle());
    }
    // The board refuses the region, then the read-back fails.
    SetRegion(form, QStringLiteral("0"), QStringLiteral("65536"));
    boxes.Clear();
    EXPECT_FALSE(form.ApplyActiveMemoryRegion());
    EXPECT_EQ(boxes.LastText(),
              form_test::BoxText(TQ8_ERR_GENERAL, L"Failed to setup active memory region: ", doc.GetDeviceHandle()));
    TQ8Sim_ClearInjections();
    ASSERT_EQ(TQ8Sim_InjectResult("GetActiveMemoryRegionTQ8", TQ8_ERR_GENERAL, 1), TQ8_OK);
    EXPECT_FALSE(form.ApplyActiveMemoryRegion());
    EXPECT_EQ(boxes.Count(), 2u);
    EXPECT_EQ(doc.GetSampleCount(), 32768u);

    // Valid again: the acquisition runs with the typed region.
    ASSERT_TRUE(doc.StartAcquisition(nullptr));
    ASSERT_TRUE(form_test::PumpUntil([&] { return doc.IsIdle(); }));
    EXPECT_EQ(doc.GetSampleCount(), 65536u);
}

TEST_F(DataFormTest, ChannelListAndSdram2RuleOnBothModels)
{
    FormDoc& four = NewDoc();
    {
        CForm_Data& form = NewForm(four);
        auto* channels = form.ItemAs<QComboBox>(CForm_Data::kActiveChannelsId);
        ASSERT_EQ(channels->count(), 11);
        EXPECT_EQ(channels->findData(QVariant::fromValue<qulonglong>(4)), -1);
        for (int32_t selection = 0; selection <= 11; ++selection) {
            if (selection == 4)
                continue;
            Choose(channels, selection);
            EXPECT_EQ(form.Item(CForm_Data::kSdram2RouteId)->isEnabled(), selection == 0 || selection == 3 || selection == 9) << selection;
        }
    }
    FormDoc& two = TwoChannelDoc();
    CForm_Data& form = NewForm(two);
    auto* channels = form.ItemAs<QComboBox>(CForm_Data::kActiveChannelsId);
    ASSERT_EQ(channels->count(), 4);
    const int32_t listed[] = {1, 5, 6, 10};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(channels->itemText(i), ToQt(ActiveChannelsToText(listed[i])));
        Choose(channels, listed[i]);
        EXPECT_EQ(GetActiveChannelsTQ8(two.GetDeviceHandle(), 1), listed[i]);
        EXPECT_FALSE(form.Item(CForm_Data::kSdram2RouteId)->isEnabled()) << listed[i];
    }
    // The two-channel model hides channels 3 and 4; equal ranges take one line.
    for (int id : {CForm_Data::kRangeLabelId + 2, CForm_Data::kRangeLabelId + 3, CForm_Data::kRangeValueId + 2,
                   CForm_Data::kRangeValueId + 3, CForm_Data::kRangeLabelId + 1, CForm_Data::kRangeValueId + 1})
        EXPECT_FALSE(form.Item(id)->isVisible()) << id;
    EXPECT_EQ(form.ItemAs<QLabel>(CForm_Data::kRangeLabelId)->text(), QStringLiteral("Input voltage range:"));
    EXPECT_FALSE(form.ItemAs<QLabel>(CForm_Data::kRangeValueId)->text().isEmpty());
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(DataFormTest, ChangingChannelsClearsThePlotAndEndsInvalidRouting)
{
    FormDoc& doc = NewDoc();
    const TQ8_HANDLE device = doc.GetDeviceHandle();
    FakePlotView plot;
    doc.AddView(&plot);
    doc.SetScopeView(&plot);
    ASSERT_EQ(SetRouteToSdram2EnableTQ8(device, 1), TQ8_OK);
    CForm_Data& form = NewForm(doc);
    auto* channels = form.ItemAs<QComboBox>(CForm_Data::kActiveChannelsId);
    ASSERT_TRUE(form.ItemAs<QCheckBox>(CForm_Data::kSdram2RouteId)->isChecked());

    Choose(channels, 3);
    EXPECT_EQ(plot.clears, 1);
    EXPECT_EQ(boxes.Count(), 0u);
    EXPECT_EQ(GetRouteToSdram2EnableTQ8(device, 1), 1);
    EXPECT_EQ(doc.LastText(), L"Active channel setting updated");
    EXPECT_TRUE(doc.IsModified());

    Choose(channels, 5);
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText(), L"SDRMA2 data routing is not a valid selection for this active channel setting and "
                                L"will be disabled");
    EXPECT_EQ(GetRouteToSdram2EnableTQ8(device, 1), 0);
    EXPECT_FALSE(form.ItemAs<QCheckBox>(CForm_Data::kSdram2RouteId)->isChecked());
    EXPECT_FALSE(form.Item(CForm_Data::kSdram2RouteId)->isEnabled());

    // Segmented boards tell the plot of the new layout.
    SetTriggerModeTQ8(device, 1);
    const size_t before = doc.CountHints(dochint::kTriggerMode);
    Choose(channels, 1);
    EXPECT_EQ(doc.CountHints(dochint::kTriggerMode), before + 1);

    // A refused selection shows the board's.
    ASSERT_EQ(TQ8Sim_InjectResult("SetActiveChannelsTQ8", TQ8_ERR_BUSY, 1), TQ8_OK);
    Choose(channels, 0);
    EXPECT_EQ(boxes.LastText(), form_test::BoxText(TQ8_ERR_BUSY, L"Failed to change active channel setting: "));
    EXPECT_EQ(channels->currentData().toInt(), 1);
    doc.RemoveView(&plot);
}

TEST_F(DataFormTest, PulseOnlyFromALowOrHighLevel)
{
    FormDoc& doc = NewDoc();
    const TQ8_HANDLE device = doc.GetDeviceHandle();
    CForm_Data& form = NewForm(doc);
    auto* mode = form.ItemAs<QComboBox>(CForm_Data::kDioModeId);
    auto* pulse = form.ItemAs<QPushButton>(CForm_Data::kPulseId);
    ASSERT_EQ(mode->count(), 8);
    EXPECT_TRUE(pulse->isEnabled());

    // Disabled port: the pulse happens, and the user is told it has no effect.
    QTest::mouseClick(pulse, Qt::LeftButton);
    EXPECT_EQ(doc.LastText(), L"Low-High-Low pulse generated on digital IO port");
    EXPECT_EQ(boxes.LastText(), L"Digital IO port must be enabled for pulse to have effect.");
    EXPECT_EQ(GetDigitalIoModeTQ8(device, 1), 0);

    form.ItemAs<QCheckBox>(CForm_Data::kDioEnableId)->click();
    EXPECT_EQ(doc.LastText(), L"Digital output enabled");
    mode->setCurrentIndex(3);
    emit mode->activated(3);
    EXPECT_EQ(doc.LastText(), L"Digital output mode updated");
    boxes.Clear();
    QTest::mouseClick(pulse, Qt::LeftButton);
    EXPECT_EQ(doc.LastText(), L"High-Low-High pulse generated on digital IO port");
    EXPECT_EQ(boxes.Count(), 0u);

    // A failed step: the box, no pulse text, and the mode the board holds.
    doc.texts.clear();
    ASSERT_EQ(TQ8Sim_InjectResult("SetDigitalIoModeTQ8", TQ8_ERR_BUSY, 1), TQ8_OK);
    QTest::mouseClick(pulse, Qt::LeftButton);
    EXPECT_EQ(boxes.LastText(), form_test::BoxText(TQ8_ERR_BUSY, L"Failed to change digital output mode: "));
    EXPECT_TRUE(doc.texts.empty());
    EXPECT_EQ(mode->currentIndex(), GetDigitalIoModeTQ8(device, 1));

    // "Output: Synchronized trigger" has no pulse.
    mode->setCurrentIndex(1);
    emit mode->activated(1);
    EXPECT_FALSE(pulse->isEnabled());
    boxes.Clear();
    form.OnPulse();
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(DataFormTest, SlaveChoosesItsMaster)
{
    FormDoc& master = NewLocalDoc(51, [](TQ8SIM_BOARD_DESC& d) { d.masterSlave = 1; });
    FormDoc& slave = NewLocalDoc(52, [](TQ8SIM_BOARD_DESC& d) { d.masterSlave = 2; });
    devices->BuildMasterSlaveRelations();
    CForm_Data& form = NewForm(slave);
    auto* list = form.ItemAs<QComboBox>(CForm_Data::kMasterId);
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->itemText(0), QStringLiteral("<Undefined>"));
    EXPECT_EQ(list->itemText(1), ToQt(slave.GetDeviceDisplayName(true, master.GetDeviceHandle())));
    EXPECT_EQ(list->currentIndex(), 1);
    EXPECT_TRUE(list->isEnabled());
    EXPECT_EQ(form.ItemAs<QLabel>(CForm_Data::kMasterSlaveConfigId)->text(), ToQt(MasterSlaveConfigToText(2)));
    for (int index : {0, 1}) {
        slave.texts.clear();
        list->setCurrentIndex(index);
        emit list->activated(index);
        EXPECT_EQ(slave.LastText(), L"Master selection updated");
        EXPECT_EQ(devices->GetMaster(slave.GetDeviceHandle()), index ? master.GetDeviceHandle() : nullptr);
    }
    slave.UpdateAllViews(dochint::kAcquisitionState, &slave);
    slave.UpdateAllViews(dochint::kAcquisitionState, nullptr);
    EXPECT_TRUE(list->isEnabled());

    // A master picks none.
    CForm_Data& masterForm = NewForm(master);
    EXPECT_FALSE(masterForm.Item(CForm_Data::kMasterId)->isEnabled());
    EXPECT_FALSE(masterForm.Item(CForm_Data::kMasterLabelId)->isEnabled());

    // The end of an acquisition does not give it one.
    master.UpdateAllViews(dochint::kAcquisitionState, &master);
    master.UpdateAllViews(dochint::kAcquisitionState, nullptr);
    EXPECT_FALSE(masterForm.Item(CForm_Data::kMasterId)->isEnabled());
}

TEST_F(DataFormTest, WorkspaceKeepsTheFieldsAndBusyBoardsLockThem)
{
    FormDoc& doc = NewDoc();
    CForm_Data& form = NewForm(doc);
    auto* count = form.ItemAs<QComboBox>(CForm_Data::kSampleCountId);
    SetRegion(form, QStringLiteral("2048"), QStringLiteral("65,536"));
    form.ItemAs<QCheckBox>(CForm_Data::kLimitPlotId)->click();
    EXPECT_FALSE(doc.IsPlotDataLimited());
    doc.UpdateAllViews(dochint::kBeforeWorkspaceSave);
    EXPECT_EQ(doc.GetWsData().DataStartSample, 2048u);
    EXPECT_EQ(doc.GetWsData().DataSampleCount, 65536u);
    EXPECT_EQ(doc.GetWsData().LimitPlotData, 0);
    EXPECT_TRUE(doc.IsModified());
    // A text that is no number is not stored.
    doc.SetModified(false);
    SetRegion(form, QStringLiteral("x"), QStringLiteral("free run"));
    doc.UpdateAllViews(dochint::kBeforeWorkspaceSave);
    EXPECT_EQ(doc.GetWsData().DataStartSample, 2048u);
    EXPECT_FALSE(doc.IsModified());

    doc.GetWsData().DataStartSample = 1048576;
    doc.GetWsData().LimitPlotData = 1;
    doc.UpdateAllViews(dochint::kAfterWorkspaceLoad);
    EXPECT_EQ(form.ItemAs<QLineEdit>(CForm_Data::kStartSampleId)->text(), QStringLiteral("1,048,576"));
    EXPECT_EQ(count->currentText(), QStringLiteral("65,536"));
    EXPECT_TRUE(form.ItemAs<QCheckBox>(CForm_Data::kLimitPlotId)->isChecked());
    EXPECT_TRUE(doc.IsPlotDataLimited());

    // The document's region shows again on hint 9.
    doc.SetStartSample(0);
    doc.SetSampleCount(12345);
    doc.UpdateAllViews(dochint::kAcquisitionRegion);
    EXPECT_EQ(form.ItemAs<QLineEdit>(CForm_Data::kStartSampleId)->text(), QStringLiteral("0"));
    EXPECT_EQ(count->currentText(), QStringLiteral("12345"));

    doc.UpdateAllViews(dochint::kAcquisitionState, &doc);
    for (int id : {CForm_Data::kMasterId, CForm_Data::kActiveChannelsId, CForm_Data::kStartSampleId, CForm_Data::kSampleCountId})
        EXPECT_FALSE(form.Item(id)->isEnabled()) << id;
    doc.UpdateAllViews(dochint::kAcquisitionState, nullptr);
    EXPECT_TRUE(form.Item(CForm_Data::kStartSampleId)->isEnabled());
}

TEST_F(DataFormTest, EditCommandsInTheCountCombosField)
{
    FormDoc& doc = NewDoc();
    CForm_Data& form = NewForm(doc);
    auto* count = form.ItemAs<QComboBox>(CForm_Data::kSampleCountId);
    Focus(count);
    bool copy = true;
    bool cut = true;
    count->lineEdit()->deselect();
    CFormView_WithEdit::GetEditCommandState(CFormView_WithEdit::ID_EDIT_COPY, copy);
    CFormView_WithEdit::GetEditCommandState(CFormView_WithEdit::ID_EDIT_CUT, cut);
    EXPECT_FALSE(copy);
    EXPECT_FALSE(cut);
    count->lineEdit()->selectAll();
    CFormView_WithEdit::GetEditCommandState(CFormView_WithEdit::ID_EDIT_COPY, copy);
    CFormView_WithEdit::GetEditCommandState(CFormView_WithEdit::ID_EDIT_CUT, cut);
    EXPECT_TRUE(copy);
    EXPECT_TRUE(cut);
    // On a button, or the slider of another form, none of the five.
    Focus(form.Item(CForm_Data::kPulseId));
    for (unsigned id : {CFormView_WithEdit::ID_EDIT_UNDO, CFormView_WithEdit::ID_EDIT_REDO,
                        CFormView_WithEdit::ID_EDIT_CUT, CFormView_WithEdit::ID_EDIT_COPY,
                        CFormView_WithEdit::ID_EDIT_PASTE}) {
        bool enabled = true;
        EXPECT_TRUE(form.GetEditCommandState(id, enabled));
        EXPECT_FALSE(enabled) << id;
    }
}

} // namespace
