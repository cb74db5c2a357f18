#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

#include "CForm_DcOffset.h"
#include "CNumericInputDlg.h"
#include "FormTestSupport.h"
#include "Mnemonic.h"
#include "TextFitCheck.h"
#include "WindowWalker.h"

namespace {

using form_test::FormDoc;

class DcOffsetFormTest : public form_test::FormTest {
protected:
    CForm_DcOffset& NewForm(FormDoc& doc)
    {
        auto& form = Show(new CForm_DcOffset(doc));
        form.OnInitialUpdate();
        return form;
    }
    static QSlider* Slider(CForm_DcOffset& form, int channel) { return form.ItemAs<QSlider>(CForm_DcOffset::kSliderId - 1 + channel); }
    static std::vector<int> VisibleSliders(CForm_DcOffset& form)
    {
        std::vector<int> shown;
        for (int ch = 1; ch <= 4; ++ch)
            if (Slider(form, ch)->isVisibleTo(&form))
                shown.push_back(ch);
        return shown;
    }
    static QStringList ListedChannels(CForm_DcOffset& form)
    {
        QStringList items;
        auto* list = form.ItemAs<QComboBox>(CForm_DcOffset::kSyncSourceId);
        for (int i = 0; i < list->count(); ++i)
            items << list->itemText(i);
        return items;
    }
    static std::vector<int32_t> Offsets(TQ8_HANDLE device)
    {
        return {GetDcOffsetCh1TQ8(device, 0), GetDcOffsetCh2TQ8(device, 0), GetDcOffsetCh3TQ8(device, 0),
                GetDcOffsetCh4TQ8(device, 0)};
    }
};

TEST_F(DcOffsetFormTest, SynchronizingFromChannelOneSetsTheOthersInOrder)
{
    FormDoc& doc = NewDoc();
    const TQ8_HANDLE device = doc.GetDeviceHandle();
    ASSERT_EQ(SetDcOffsetCh1TQ8(device, 1000), 0);
    CForm_DcOffset& form = NewForm(doc);
    EXPECT_EQ(VisibleSliders(form), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_FALSE(form.Item(CForm_DcOffset::kNoteId)->isVisibleTo(&form));
    EXPECT_EQ(Slider(form, 1)->value(), 1000);
    EXPECT_EQ(Slider(form, 1)->maximum(), 4095);
    EXPECT_EQ(Slider(form, 1)->pageStep(), 256);

    form.ItemAs<QPushButton>(CForm_DcOffset::kSyncId)->click();
    EXPECT_EQ(doc.texts, (std::vector<std::wstring>{L"Updated channel 2 DC offset. (New value: 1,000)",
                                                    L"Updated channel 3 DC offset. (New value: 1,000)",
                                                    L"Updated channel 4 DC offset. (New value: 1,000)"}));
    EXPECT_EQ(Offsets(device), (std::vector<int32_t>{1000, 1000, 1000, 1000}));
    EXPECT_TRUE(doc.IsModified());

    // Nothing to copy from: a beep.
    form.ItemAs<QComboBox>(CForm_DcOffset::kSyncSourceId)->setCurrentIndex(-1);
    form.ItemAs<QPushButton>(CForm_DcOffset::kSyncId)->click();
    EXPECT_EQ(beeps, 1);
}

// A channel without controls still takes the synchronized offset.
TEST_F(DcOffsetFormTest, TransformerChannelHasNoControlsButIsSynchronized)
{
    FormDoc& doc = NewLocalDoc(81, [](TQ8SIM_BOARD_DESC& d) { d.channelFlags[1] = 0x82; });
    const TQ8_HANDLE device = doc.GetDeviceHandle();
    CForm_DcOffset& form = NewForm(doc);
    EXPECT_EQ(VisibleSliders(form), (std::vector<int>{1, 3, 4}));
    for (int id : {CForm_DcOffset::kLabelId + 1, CForm_DcOffset::kBrowseId + 1})
        EXPECT_FALSE(form.Item(id)->isVisibleTo(&form)) << id;
    EXPECT_TRUE(form.Item(CForm_DcOffset::kNoteId)->isVisibleTo(&form));
    EXPECT_EQ(ListedChannels(form), (QStringList{"Channel 1", "Channel 3", "Channel 4"}));

    ASSERT_EQ(SetDcOffsetCh3TQ8(device, 300), 0);
    form.ItemAs<QComboBox>(CForm_DcOffset::kSyncSourceId)->setCurrentIndex(1);
    form.ItemAs<QPushButton>(CForm_DcOffset::kSyncId)->click();
    EXPECT_EQ(doc.texts, (std::vector<std::wstring>{L"Updated channel 1 DC offset. (New value: 300)",
                                                    L"Updated channel 2 DC offset. (New value: 300)",
                                                    L"Updated channel 4 DC offset. (New value: 300)"}));
    EXPECT_EQ(Offsets(device), (std::vector<int32_t>{300, 300, 300, 300}));
}

// Two sliders shown, all four channels synchronized.
TEST_F(DcOffsetFormTest, TwoChannelModelShowsTwoChannelsAndSynchronizesAll)
{
    FormDoc& doc = NewLocalDoc(82, [](TQ8SIM_BOARD_DESC& d) { d.revision = 1; });
    const TQ8_HANDLE device = doc.GetDeviceHandle();
    CForm_DcOffset& form = NewForm(doc);
    EXPECT_EQ(VisibleSliders(form), (std::vector<int>{1, 2}));
    EXPECT_FALSE(form.Item(CForm_DcOffset::kLabelId + 2)->isVisibleTo(&form));
    EXPECT_FALSE(form.Item(CForm_DcOffset::kBrowseId + 3)->isEnabled());
    EXPECT_EQ(ListedChannels(form), (QStringList{"Channel 1", "Channel 2"}));
    ASSERT_EQ(SetDcOffsetCh1TQ8(device, 4095), 0);
    form.ItemAs<QPushButton>(CForm_DcOffset::kSyncId)->click();
    EXPECT_EQ(doc.texts, (std::vector<std::wstring>{L"Updated channel 2 DC offset. (New value: 4,095)",
                                                    L"Updated channel 3 DC offset. (New value: 4,095)",
                                                    L"Updated channel 4 DC offset. (New value: 4,095)"}));
    EXPECT_EQ(Offsets(device), (std::vector<int32_t>{4095, 4095, 4095, 4095}));
}

TEST_F(DcOffsetFormTest, RefusedOffsetPutsTheSliderBack)
{
    FormDoc& doc = NewDoc();
    CForm_DcOffset& form = NewForm(doc);
    ASSERT_EQ(TQ8Sim_InjectResult("SetDcOffsetCh2TQ8", TQ8_ERR_GENERAL, 1), TQ8_OK);
    Slider(form, 2)->setFocus();
    QTest::keyClick(Slider(form, 2), Qt::Key_PageUp);
    ASSERT_TRUE(form_test::PumpUntil([&] { return boxes.Count() == 1; }));
    EXPECT_EQ(boxes.LastText(), form_test::BoxText(TQ8_ERR_GENERAL, L"Failed to change channel 2 DC offset: "));
    EXPECT_EQ(Slider(form, 2)->value(), 2048);
    EXPECT_FALSE(doc.IsModified());

    QTest::keyClick(Slider(form, 2), Qt::Key_PageUp);
    ASSERT_TRUE(form_test::PumpUntil([&] { return doc.IsModified(); }));
    EXPECT_EQ(GetDcOffsetCh2TQ8(doc.GetDeviceHandle(), 0), 2048 + 256);
}

TEST_F(DcOffsetFormTest, TypedValueDefaultsToMidScale)
{
    FormDoc& doc = NewDoc();
    ASSERT_EQ(SetDcOffsetCh3TQ8(doc.GetDeviceHandle(), 100), 0);
    CForm_DcOffset& form = NewForm(doc);
    QString caption;
    QStringList labels;
    QTimer::singleShot(0, [&] {
        auto* dlg = qobject_cast<CNumericInputDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dlg, nullptr);
        caption = dlg->windowTitle();
        for (QLabel* label : dlg->findChildren<QLabel*>())
            labels << label->text();
        dlg->OnUseDefault();
        dlg->accept();
    });
    QTest::mouseClick(form.ItemAs<QPushButton>(CForm_DcOffset::kBrowseId + 2), Qt::LeftButton);
    ASSERT_TRUE(form_test::PumpUntil([&] { return !doc.texts.empty(); }));
    EXPECT_EQ(caption, QStringLiteral("Select DC Offset"));
    EXPECT_TRUE(labels.contains(QStringLiteral("Ch. &3 DC offset"))) << labels.join('|').toStdString();
    EXPECT_TRUE(labels.contains(QStringLiteral("[0, 4095]"))) << labels.join('|').toStdString();
    EXPECT_EQ(doc.LastText(), L"Updated channel 3 DC offset. (New value: 2,048)");
    EXPECT_EQ(GetDcOffsetCh3TQ8(doc.GetDeviceHandle(), 0), 2048);
}

} // namespace

namespace {

// The box of a channel's "..." button, as the user opens it: its label's
// mnemonic shown as one, every text whole.
TEST_F(DcOffsetFormTest, OffsetBoxShowsItsTextsWhole)
{
    vlt::InstallMnemonicRule();
    FormDoc& doc = NewDoc();
    CForm_DcOffset& form = NewForm(doc);
    vlt::TextFitCheck check;
    vlt::WindowWalker walker(check, &form);
    form.ItemAs<QPushButton>(CForm_DcOffset::kBrowseId + 1)->click();
    vlt::WindowWalker::Settle();
    EXPECT_EQ(check.Checked(), QStringList{QStringLiteral("Select DC Offset")});
    EXPECT_EQ(check.Report(), QString()) << check.Report().toStdString();
}

} // namespace
