#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QStyleOptionSlider>
#include <QTimer>

#include "CForm_Trig.h"
#include "CNumericInputDlg.h"
#include "FormTestSupport.h"

namespace {

using form_test::FormDoc;

class TrigFormTest : public form_test::FormTest {
protected:
    CForm_Trig& NewForm(FormDoc& doc)
    {
        auto& form = Show(new CForm_Trig(doc));
        form.OnInitialUpdate();
        return form;
    }
    QLineEdit* Edit(CForm_Trig& form, int id) { return form.ItemAs<QLineEdit>(id); }
    using FormTest::Enter;
    void Enter(CForm_Trig& form, int id, const char* text) { Enter(Edit(form, id), text); }
    TQ8_HANDLE Device(FormDoc& doc) { return doc.GetDeviceHandle(); }
};

QPoint HandleCenter(QSlider* slider)
{
    QStyleOptionSlider opt;
    opt.initFrom(slider);
    opt.orientation = slider->orientation();
    opt.minimum = slider->minimum();
    opt.maximum = slider->maximum();
    opt.sliderPosition = slider->sliderPosition();
    opt.sliderValue = slider->value();
    opt.singleStep = slider->singleStep();
    opt.pageStep = slider->pageStep();
    opt.subControls = QStyle::SC_All;
    return slider->style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, slider).center();
}

TEST_F(TrigFormTest, EditFieldsApplyOnlyRealEdits)
{
    FormDoc& doc = NewDoc();
    const TQ8_HANDLE device = Device(doc);
    CForm_Trig& form = NewForm(doc);
    ASSERT_EQ(Edit(form, CForm_Trig::kPreTriggerId)->text(), QStringLiteral("0"));

    // Only visited: nothing applied, nothing shown.
    Focus(Edit(form, CForm_Trig::kPreTriggerId));
    Focus(form.Item(CForm_Trig::kSourceId));
    EXPECT_TRUE(doc.texts.empty());

    // The value the board holds: the editing text goes, no setter runs.
    ASSERT_EQ(TQ8Sim_InjectResult("SetPreTriggerSamplesTQ8", TQ8_ERR_GENERAL, 1), TQ8_OK);
    Enter(form, CForm_Trig::kPreTriggerId, "0");
    ASSERT_EQ(doc.texts.size(), 2u);
    EXPECT_EQ(doc.texts[0], L"Editing pre-trigger sample count. Press ENTER to apply changes");
    EXPECT_EQ(doc.timeouts[0], 0u);
    EXPECT_EQ(doc.texts[1], L"");
    EXPECT_EQ(boxes.Count(), 0u);
    TQ8Sim_ClearInjections();

    // Not a number, or negative: refused before the board is touched, with
    // the focus back in the field.
    for (const char* bad : {"-1", "12abc", "4294967296"}) {
        boxes.Clear();
        Enter(form, CForm_Trig::kDelayId, bad);
        ASSERT_EQ(boxes.Count(), 1u) << bad;
        EXPECT_EQ(boxes.LastText().rfind(L"Please enter a valid trigger delay sample count.", 0), 0u);
        EXPECT_TRUE(Edit(form, CForm_Trig::kDelayId)->hasFocus());
        EXPECT_EQ(GetTriggerDelaySamplesTQ8(device, 1), 0u);
    }
    Focus(form.Item(CForm_Trig::kSourceId));

    // The library clips: the field shows the board's value, the text says
    // so and the plot's trigger mark moves.
    doc.texts.clear();
    Enter(form, CForm_Trig::kPreTriggerId, "70000");
    EXPECT_EQ(GetPreTriggerSamplesTQ8(device, 1), 65535u);
    EXPECT_EQ(Edit(form, CForm_Trig::kPreTriggerId)->text(), QStringLiteral("65535"));
    EXPECT_EQ(doc.LastText(), L"Pre-trigger sample count updated; setting realigned or clipped");
    ASSERT_EQ(doc.CountHints(dochint::kPlotOptions), 1u);
    EXPECT_EQ(doc.hints.back().sender, &form);
    EXPECT_TRUE(doc.IsModified());
    // Taken as typed: no suffix.
    Enter(form, CForm_Trig::kDelayId, "0x10");
    EXPECT_EQ(Edit(form, CForm_Trig::kDelayId)->text(), QStringLiteral("16"));
    EXPECT_EQ(doc.LastText(), L"Trigger delay sample count updated");

    // A refresh with new board values starts no edit.
    SetPreTriggerSamplesTQ8(device, 100);
    doc.texts.clear();
    doc.UpdateAllViews(dochint::kBoardSettings);
    EXPECT_EQ(Edit(form, CForm_Trig::kPreTriggerId)->text(), QStringLiteral("100"));
    EXPECT_TRUE(doc.texts.empty());
    EXPECT_EQ(form.GetFormFlags(), 0u);
}

TEST_F(TrigFormTest, SegmentSizeFollowsTheBoardsMode)
{
    FormDoc& doc = NewDoc();
    const TQ8_HANDLE device = Device(doc);
    CForm_Trig& form = NewForm(doc);
    auto* mode = form.ItemAs<QComboBox>(CForm_Trig::kModeId);
    EXPECT_FALSE(form.Item(CForm_Trig::kSegmentId)->isEnabled());
    EXPECT_FALSE(form.Item(CForm_Trig::kSegmentLabelId)->isEnabled());

    Choose(mode, 1);
    EXPECT_TRUE(form.Item(CForm_Trig::kSegmentId)->isEnabled());
    EXPECT_EQ(doc.LastText(), L"Trigger mode updated");
    EXPECT_EQ(doc.CountHints(dochint::kTriggerMode), 1u);

    // A refused segment size: the box, and the field keeps the board's value.
    const uint32_t held = GetSegmentSizeTQ8(device, 1);
    ASSERT_EQ(TQ8Sim_InjectResult("SetSegmentSizeTQ8", TQ8_ERR_INVALID_ARG, 1), TQ8_OK);
    Enter(form, CForm_Trig::kSegmentId, "4096");
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText(), form_test::BoxText(TQ8_ERR_INVALID_ARG, L"Failed to change segment size: "));
    EXPECT_EQ(Edit(form, CForm_Trig::kSegmentId)->text(), QString::number(held));
    Enter(form, CForm_Trig::kSegmentId, "4096");
    EXPECT_EQ(doc.LastText(), L"Segment size updated");
    EXPECT_EQ(doc.CountHints(dochint::kTriggerMode), 2u);

    // Back to post trigger, then a failed change while the board itself went
    // segmented: the combo and the field follow the board.
    Choose(mode, 0);
    ASSERT_FALSE(form.Item(CForm_Trig::kSegmentId)->isEnabled());
    SetTriggerModeTQ8(device, 1);
    ASSERT_EQ(TQ8Sim_InjectResult("SetTriggerModeTQ8", TQ8_ERR_GENERAL, 1), TQ8_OK);
    boxes.Clear();
    Choose(mode, 0);
    EXPECT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(mode->currentIndex(), 1);
    EXPECT_TRUE(form.Item(CForm_Trig::kSegmentId)->isEnabled());

    // Busy boards keep their mode.
    doc.UpdateAllViews(dochint::kAcquisitionState, &doc);
    EXPECT_FALSE(mode->isEnabled());
    doc.UpdateAllViews(dochint::kAcquisitionState, nullptr);
    EXPECT_TRUE(mode->isEnabled());
}

// A failed level keeps the slider where the user left it.
TEST_F(TrigFormTest, FailedSettersPutTheControlsBackButALevelStays)
{
    FormDoc& doc = NewDoc();
    CForm_Trig& form = NewForm(doc);
    auto* source = form.ItemAs<QComboBox>(CForm_Trig::kSourceId);
    auto* slope = form.ItemAs<QCheckBox>(CForm_Trig::kSlopeAId);
    auto* level = form.ItemAs<QSlider>(CForm_Trig::kLevelAId);
    ASSERT_EQ(source->count(), 5);
    EXPECT_EQ(source->itemText(4), QStringLiteral("External"));

    struct Case {
        const char* function;
        std::function<void()> act;
        const wchar_t* prefix;
        std::function<bool()> restored;
    };
    const Case cases[] = {
        {"SetTriggerSourceTQ8", [&] { Choose(source, 4); }, L"Failed to change trigger source: ",
         [&] { return source->currentIndex() == 0; }},
        {"SetTriggerDirectionATQ8", [&] { slope->click(); },
         L"Failed to change trigger A direction: ", [&] { return !slope->isChecked(); }},
        {"SetTriggerLevelATQ8",
         [&] {
             Focus(level);
             QTest::keyClick(level, Qt::Key_PageUp);
         },
         L"Failed to change trigger level A: ", [&] { return level->value() == 128 + level->pageStep(); }},
    };
    for (const Case& c : cases) {
        boxes.Clear();
        doc.texts.clear();
        ASSERT_EQ(TQ8Sim_InjectResult(c.function, TQ8_ERR_BUSY, 1), TQ8_OK);
        c.act();
        ASSERT_TRUE(form_test::PumpUntil([&] { return boxes.Count() == 1; })) << c.function;
        EXPECT_EQ(boxes.LastText(), form_test::BoxText(TQ8_ERR_BUSY, c.prefix)) << c.function;
        EXPECT_TRUE(c.restored()) << c.function;
        EXPECT_FALSE(doc.IsModified());
    }
    Choose(source, 4);
    EXPECT_EQ(doc.LastText(), L"Trigger source updated");
    EXPECT_EQ(GetTriggerSourceTQ8(doc.GetDeviceHandle(), 1), 4);
}

TEST_F(TrigFormTest, SliderAppliesOnceAtTheEndOfADrag)
{
    FormDoc& doc = NewDoc();
    CForm_Trig& form = NewForm(doc);
    auto* level = form.ItemAs<QSlider>(CForm_Trig::kLevelAId);
    const QPoint start = HandleCenter(level);
    QTest::mousePress(level, Qt::LeftButton, {}, start);
    for (int dx = 4; dx <= 40; dx += 4) {
        QMouseEvent move(QEvent::MouseMove, start + QPoint(dx, 0), level->mapToGlobal(start + QPoint(dx, 0)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(level, &move);
    }
    QTest::mouseRelease(level, Qt::LeftButton, {}, start + QPoint(40, 0));
    form_test::Drain();
    const int value = level->value();
    ASSERT_GT(value, 128);
    const std::wstring updated = L"Updated trigger level A. (New value: " + std::to_wstring(value) + L")";
    EXPECT_EQ(doc.CountTexts(updated), 1u);
    EXPECT_EQ(doc.LastText(), updated);
    EXPECT_GT(doc.CountTexts(L"Tracking: trigger level A to set: " + std::to_wstring(value)), 0u);
    EXPECT_EQ(GetTriggerLevelATQ8(doc.GetDeviceHandle(), 1), value);
    EXPECT_TRUE(doc.IsModified());
}

TEST_F(TrigFormTest, LevelButtonAsksForTheValue)
{
    FormDoc& doc = NewDoc();
    CForm_Trig& form = NewForm(doc);
    QString caption;
    bool defaultShown = false;
    QTimer::singleShot(0, [&] {
        auto* dlg = qobject_cast<CNumericInputDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dlg, nullptr);
        caption = dlg->windowTitle();
        defaultShown = dlg->findChild<QPushButton*>(QString::number(CNumericInputDlg::kUseDefaultId))->isVisible();
        auto* edit = dlg->findChild<QLineEdit*>(QString::number(CNumericInputDlg::kEditId));
        edit->setText(QStringLiteral("200"));
        dlg->accept();
    });
    QTest::mouseClick(form.ItemAs<QPushButton>(CForm_Trig::kBrowseAId), Qt::LeftButton);
    ASSERT_TRUE(form_test::PumpUntil([&] { return !doc.texts.empty(); }));
    EXPECT_EQ(caption, QStringLiteral("Select Trigger Level"));
    EXPECT_TRUE(defaultShown);
    EXPECT_EQ(doc.LastText(), L"Updated trigger level A. (New value: 200)");
    EXPECT_EQ(GetTriggerLevelATQ8(doc.GetDeviceHandle(), 1), 200);
}

TEST_F(TrigFormTest, LevelBOnlyInUnsafeMode)
{
    for (bool unsafe : {false, true}) {
        FormDoc& doc = NewDoc();
        doc.unsafe = unsafe;
        CForm_Trig& form = NewForm(doc);
        for (int id : {CForm_Trig::kLevelBId, CForm_Trig::kBrowseBId, CForm_Trig::kSlopeBId}) {
            EXPECT_EQ(form.Item(id)->isVisible(), unsafe) << id;
            EXPECT_EQ(form.Item(id)->isEnabled(), unsafe) << id;
        }
        for (QLabel* label : form.findChildren<QLabel*>()) {
            if (label->text() == QStringLiteral(" Internal Trigger B ")) {
                EXPECT_FALSE(label->isVisible());
            }
        }
    }
}

} // namespace
