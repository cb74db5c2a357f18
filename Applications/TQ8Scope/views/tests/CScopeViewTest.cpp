#include <QImage>
#include <QWheelEvent>

#include "CComBSTR.h"
#include "CComVariant.h"
#include "SafeArray.h"
#include "ScopeTestSupport.h"

namespace {

using scope_test::ScopeTest;

// Counts the wheel events that reach a widget.
struct WheelCounter : QObject {
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Wheel)
            ++count;
        return false;
    }
};

// Records every property change the control reports, in order.
struct RecordingSink : IPropertyNotifySink {
    std::vector<DISPID> changed;
    HRESULT QueryInterface(const IID& iid, void** ppv) override
    {
        *ppv = (iid == IUnknown::iid || iid == IPropertyNotifySink::iid) ? this : nullptr;
        return *ppv ? S_OK : E_NOINTERFACE;
    }
    uint32_t AddRef() override { return 2; }
    uint32_t Release() override { return 1; }
    HRESULT OnChanged(DISPID id) override
    {
        changed.push_back(id);
        return S_OK;
    }
    HRESULT OnRequestEdit(DISPID) override { return S_OK; }
};

// Sets every initial property to another value first, so that each of the
// view's puts is a change the sink hears of.
class RecordingView : public CScopeView {
public:
    using CScopeView::CScopeView;
    RecordingSink sink;
    uint32_t cookie = 0;
    bool SetInitialProperties() override
    {
        IScopeTQ8* c = GetControl();
        c->put_ScopeBackColor(1);
        c->put_AutoXLabels(VARIANT_FALSE);
        c->put_MaxSampleValue(1000);
        c->put_MinSampleValue(5);
        c->put_PageWidth(100);
        c->put_MaxPageWidth(200);
        for (uint32_t ch = 0; ch < 4; ++ch)
            c->put_ChannelColor(ch, 1);
        CComPtr<IConnectionPointContainer> container;
        CComPtr<IConnectionPoint> point;
        c->QueryInterface(&container);
        container->FindConnectionPoint(IPropertyNotifySink::iid, &point);
        point->Advise(&sink, &cookie);
        const bool result = CScopeView::SetInitialProperties();
        point->Unadvise(cookie);
        return result;
    }
};

TEST_F(ScopeTest, OnlyThePostedInitialUpdateCreatesTheControlOnce)
{
    form_test::FormDoc& doc = NewDoc();
    CScopeView direct(doc);
    direct.OnInitialUpdate(0);
    EXPECT_EQ(direct.GetControl(), nullptr);
    EXPECT_FALSE(direct.CreationFailed());
    EXPECT_EQ(doc.CountHints(dochint::kScopeViewReady), 0u);

    Build(doc);
    ASSERT_NE(Control(), nullptr);
    IScopeTQ8* first = Control();
    view->OnInitialUpdate(-1);
    EXPECT_EQ(Control(), first);
    EXPECT_EQ(view->GetControlWindow()->objectName(), QStringLiteral("32768"));
    EXPECT_TRUE(panel->IsAdvised());
    EXPECT_EQ(panel->GetControl(), first);
}

TEST_F(ScopeTest, UnregisteredPlotLibraryShowsTheFailureTextAndNoBox)
{
    vlt::MessageBoxRecorder boxes;
    form_test::FormDoc& doc = NewDoc();
    Build(doc, false);
    EXPECT_TRUE(view->CreationFailed());
    EXPECT_EQ(Control(), nullptr);
    EXPECT_EQ(view->GetControlWindow(), nullptr);
    EXPECT_EQ(boxes.Count(), 0u);
    // The document was still told, and the panel stays without a control.
    EXPECT_EQ(doc.GetScopeView(), view);
    EXPECT_EQ(panel->GetControl(), nullptr);
    EXPECT_FALSE(panel->IsAdvised());
    EXPECT_FALSE(view->HasChannelSources());
    EXPECT_FALSE(panel->AddBoardSource(doc.GetDeviceHandle(), &doc, nullptr));

    // The text is drawn across the middle row and nowhere near the top.
    const QImage image = view->grab().toImage();
    const QRgb base = image.pixel(0, 0);
    int middle = 0, top = 0;
    for (int x = 0; x < image.width(); ++x) {
        for (int y = image.height() / 2 - 8; y < image.height() / 2; ++y)
            middle += image.pixel(x, y) != base;
        top += image.pixel(x, 4) != base;
    }
    EXPECT_GT(middle, 20);
    EXPECT_EQ(top, 0);
}

TEST_F(ScopeTest, InitialPropertiesArePutInTheirOrder)
{
    form_test::FormDoc& doc = NewDoc();
    host = std::make_unique<QWidget>();
    auto* recording = new RecordingView(doc, host.get());
    recording->Create();
    ASSERT_TRUE(doc_test::PumpUntil([recording] { return recording->GetControl() != nullptr; }));
    using namespace ScopeDispId;
    const std::vector<DISPID> expected = {ScopeBackColor, AutoXLabels,  MaxSampleValue, MinSampleValue,
                                          MaxPageWidth,   PageWidth,    ChannelColor,   ChannelColor,
                                          ChannelColor,   ChannelColor};
    EXPECT_EQ(recording->sink.changed, expected);
    IScopeTQ8* c = recording->GetControl();
    OLE_COLOR colour = 0;
    c->get_ScopeBackColor(&colour);
    EXPECT_EQ(colour, 0x733129u);
    c->get_ChannelColor(1, &colour);
    EXPECT_EQ(colour, 0x4080FFu);
    uint32_t width = 0;
    c->get_PageWidth(&width);
    EXPECT_EQ(width, 0x8000u);
    c->get_MaxPageWidth(&width);
    EXPECT_EQ(width, 0x100000u);
}

TEST_F(ScopeTest, ControlFollowsTheViewSizeAndGetsTheWheel)
{
    form_test::FormDoc& doc = NewDoc();
    Build(doc);
    QWidget* site = view->GetControlWindow();
    ASSERT_NE(site, nullptr);
    EXPECT_EQ(site->geometry(), QRect(0, 0, 900, 300));
    view->resize(640, 200);
    EXPECT_EQ(site->geometry(), QRect(0, 0, 640, 200));

    WheelCounter counter;
    site->installEventFilter(&counter);
    view->clearFocus();
    QWheelEvent wheel(QPointF(10, 10), view->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(view, &wheel);
    EXPECT_EQ(counter.count, 1);
    site->removeEventFilter(&counter);
}

TEST_F(ScopeTest, HasChannelSourcesOnlyWhilePlotted)
{
    form_test::FormDoc& doc = NewDoc();
    Build(doc);
    EXPECT_FALSE(view->HasChannelSources());
    const std::vector<uint8_t> samples(4096, 0x40);
    ASSERT_TRUE(panel->ShowSnapshot(samples.data(), uint32_t(samples.size()), 1, 0, doc.GetDeviceHandle()));
    EXPECT_TRUE(view->HasChannelSources());
    const size_t cleared = doc.CountHints(dochint::kPlotCleared);
    view->ClearPlot();
    EXPECT_FALSE(view->HasChannelSources());
    EXPECT_EQ(doc.CountHints(dochint::kPlotCleared), cleared + 1);
    EXPECT_EQ(panel->GetSnapshotSourceId(), -1);
    CComBSTR caption;
    Control()->get_Caption(&caption);
    EXPECT_TRUE(caption.View().empty());
}

} // namespace

namespace {

TEST_F(ScopeTest, MinimisedWindowKeepsTheControlAtTheViewSize)
{
    form_test::FormDoc& doc = NewDoc();
    Build(doc);
    host->showMinimized();
    QCoreApplication::processEvents();
    EXPECT_EQ(view->GetControlWindow()->geometry(), QRect(0, 0, 900, 300));
    // A layout change while minimised is still there after the restore.
    view->resize(700, 280);
    host->showNormal();
    QCoreApplication::processEvents();
    EXPECT_EQ(view->GetControlWindow()->geometry(), QRect(0, 0, 700, 280));
}

} // namespace
