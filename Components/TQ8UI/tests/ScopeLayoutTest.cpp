// Layout, scales and axis labels of the plot control, with fixed text extents.
#include "AxisLabelFormat.h"
#include "CComBSTR.h"
#include "ScopeTestSupport.h"
#include "ScopeText.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QStyle>
#include <QWidget>
#include <cfloat>
#include <gtest/gtest.h>

namespace {

// Every character 7 pixels wide, every line 13 high.
QSize FixedExtent(const QFont&, const QString& text) { return QSize(7 * int(text.size()), 13); }

class ScopeLayout : public ::testing::Test {
protected:
    void SetUp() override { scopetext::SetMeasureFunction(&FixedExtent); }
    void TearDown() override { scopetext::SetMeasureFunction(nullptr); }
    CScopeCtrl* ctrl() { return Impl(scope); }
    PixRect Layout(PixRect control) { return ctrl()->RecalcLayout(&device, control); }
    void NoLabels()
    {
        scope->put_AutoXLabels(VARIANT_FALSE);
        scope->put_AutoYLabels(VARIANT_FALSE);
    }

    CComPtr<IScopeTQ8> scope = NewScope();
    QImage device{8, 8, QImage::Format_RGB32};
};

struct Provider : IScopeTQ8CustomLabelProvider, vlt::CComObjectRoot {
    HRESULT InternalQueryInterface(const IID& riid, void** ppv)
    {
        if (vlt::QiEntry<IUnknown, IScopeTQ8CustomLabelProvider>(this, riid, ppv)
            || vlt::QiEntry<IScopeTQ8CustomLabelProvider>(this, riid, ppv))
            return S_OK;
        return E_NOINTERFACE;
    }
    HRESULT GetXAxisLabel(uint64_t x, BSTR* out) override
    {
        if (x == 4096)
            return S_OK; // success without a text
        *out = CComBSTR((L"s" + std::to_wstring(x)).c_str()).Detach();
        return S_OK;
    }
    HRESULT GetYAxisLabel(double, BSTR*) override { return E_NOTIMPL; }
    HRESULT GetXSelLabel(uint64_t, BSTR*) override { return E_NOTIMPL; }
    HRESULT GetXSelSpanLabel(uint64_t, uint64_t, BSTR*) override { return E_NOTIMPL; }
    HRESULT GetSampleTipLabel(uint32_t, uint64_t, VARIANT, BSTR*) override { return E_NOTIMPL; }
};

TEST_F(ScopeLayout, WithoutLabelsThePlotIsTheControlLessTheMargins)
{
    NoLabels();
    EXPECT_EQ(Layout({0, 0, 200, 100}), (PixRect{4, 4, 196, 96}));
    EXPECT_EQ(ctrl()->MeasureLabels(nullptr).left, 0);
}

TEST_F(ScopeLayout, LabelBandsAreAsLargeAsTheirTexts)
{
    ASSERT_EQ(scope->put_Caption(CComBSTR(L"Title")), S_OK);
    ASSERT_EQ(scope->put_LabelYM2(CComBSTR(L"mV")), S_OK);
    const CScopeCtrl::LabelExtents e = ctrl()->MeasureLabels(&device);
    EXPECT_EQ(e.top, 13);
    EXPECT_EQ(e.bottom, 13);     // the "0X" probe
    EXPECT_EQ(e.left, 3 * 7);    // "255", the longest Y label
    EXPECT_EQ(e.right, 2 * 7);
    EXPECT_EQ(Layout({0, 0, 300, 200}), (PixRect{25, 17, 282, 183}));
}

TEST_F(ScopeLayout, ATooSmallControlGetsASwappedRectangleNotANegativeOne)
{
    const PixRect p = Layout({0, 0, 10, 10});
    EXPECT_LE(p.left, p.right);
    EXPECT_LE(p.top, p.bottom);
    EXPECT_GE(ctrl()->XScale(), DBL_MIN);
    EXPECT_GE(ctrl()->YScale(), DBL_MIN);
}

TEST_F(ScopeLayout, AScrollBarTallerThanThePlotLeavesItNoHeight)
{
    NoLabels();
    ASSERT_EQ(scope->put_HScrollBar(ScrollbarYes), S_OK);
    const PixRect p = Layout({0, 0, 200, 12});
    EXPECT_EQ(p.Height(), 0);
    EXPECT_EQ(ctrl()->YScale(), DBL_MIN);
    EXPECT_EQ(ctrl()->ScrollBarRect().top, 0);
    EXPECT_EQ(ctrl()->ScrollBarRect().bottom, 8);
}

TEST_F(ScopeLayout, ATriggerPictureMakesRoomLeftOfThePlot)
{
    NoLabels();
    ASSERT_EQ(scope->put_TriggerMarkStyle1(TrigMarkImage), S_OK); // the default picture is 24 wide
    EXPECT_EQ(Layout({0, 0, 200, 100}).left, 30);
    ASSERT_EQ(scope->put_TriggerMarkStyle1(TrigMarkImageHotLine), S_OK);
    EXPECT_EQ(Layout({0, 0, 200, 100}).left, 4);
}

TEST_F(ScopeLayout, ScaleFactorsAtTheirSmallestPagesAndRanges)
{
    for (uint32_t page : {0u, 1u, 2u})
        EXPECT_EQ(CScopeCtrl::XScaleFor(640, page), 640.0);
    EXPECT_EQ(CScopeCtrl::XScaleFor(640, 641), 1.0);
    EXPECT_EQ(CScopeCtrl::YScaleFor(100, 7, 8), 100.0);
    EXPECT_EQ(CScopeCtrl::YScaleFor(100, 7, 7), 100.0);
    EXPECT_EQ(CScopeCtrl::YScaleFor(0, 0, 255), DBL_MIN);
    EXPECT_EQ(CScopeCtrl::YScaleFor(254, 0, 255), 1.0);
}

TEST_F(ScopeLayout, TheValueRangeMapsFromTheBottomRowToJustAboveTheTop)
{
    NoLabels();
    Layout({0, 0, 108, 262}); // plot 100 x 254
    EXPECT_EQ(ctrl()->ValueRow(0), 253);
    EXPECT_EQ(ctrl()->ValueRow(254), -1);
    EXPECT_EQ(ctrl()->LevelRow(0.0f), 254);
    EXPECT_EQ(ctrl()->LevelRow(1.0f), 0);
    EXPECT_EQ(ctrl()->ValueRow(1e300), 253 - (1 << 22)); // kept within reach of the painter
}

TEST_F(ScopeLayout, AutomaticXLabelsInRadix10And16)
{
    EXPECT_EQ(ctrl()->GetXAxisLabelText(0), L"0");
    EXPECT_EQ(ctrl()->GetXAxisLabelText(1), L"4,096");
    EXPECT_EQ(ctrl()->GetXAxisLabelText(2), L"8,191");
    ASSERT_EQ(scope->put_AutoXLabelRadix(16), S_OK);
    EXPECT_EQ(ctrl()->GetXAxisLabelText(1), L"1000");
    EXPECT_EQ(ctrl()->GetXAxisLabelText(2), L"1FFF");
}

TEST_F(ScopeLayout, AutomaticYLabels)
{
    EXPECT_EQ(ctrl()->GetYAxisLabelText(0), L"255");
    EXPECT_EQ(ctrl()->GetYAxisLabelText(1), L"127");
    EXPECT_EQ(ctrl()->GetYAxisLabelText(2), L"0");
    ASSERT_EQ(scope->put_MinSampleValue(-5), S_OK);
    ASSERT_EQ(scope->put_MaxSampleValue(0), S_OK);
    EXPECT_EQ(ctrl()->GetYAxisLabelText(1), L"-2");
}

TEST_F(ScopeLayout, AProviderWithoutATextLeavesThatLabelToTheAutomaticOne)
{
    vlt::CComObject<Provider>* p = nullptr;
    ASSERT_EQ(vlt::CComObject<Provider>::CreateInstance(&p), S_OK);
    CComPtr<IScopeTQ8CustomLabelProvider> provider(p);
    ASSERT_EQ(scope->SetCustomLabelProvider(provider), S_OK);
    EXPECT_EQ(ctrl()->GetXAxisLabelText(0), L"s0");
    EXPECT_EQ(ctrl()->GetXAxisLabelText(1), L"4,096");
    EXPECT_EQ(ctrl()->GetXAxisLabelText(2), L"s8191");
    EXPECT_EQ(ctrl()->GetYAxisLabelText(0), L"255"); // a failing provider is passed over
}

TEST_F(ScopeLayout, NoXLabelsNoBandAndNothingBelowThePlot)
{
    scope->put_AutoXLabels(VARIANT_FALSE);
    EXPECT_EQ(ctrl()->MeasureLabels(&device).bottom, 0);
    QImage image(200, 100, QImage::Format_RGB32);
    image.fill(Qt::black);
    const PixRect plot = ctrl()->RecalcLayout(&image, {0, 0, 200, 100});
    {
        QPainter painter(&image);
        ctrl()->DrawAxisLabels(painter);
    }
    for (int y = plot.bottom; y < 100; ++y)
        for (int x = 0; x < 200; ++x)
            ASSERT_EQ(image.pixel(x, y), 0xFF000000u) << x << "," << y;
    EXPECT_TRUE(ctrl()->XLabelRect(1).IsEmpty());
}

TEST_F(ScopeLayout, XLabelRectanglesFollowTheirTexts)
{
    scope->put_AutoYLabels(VARIANT_FALSE);
    QImage image(200, 100, QImage::Format_RGB32);
    const PixRect p = ctrl()->RecalcLayout(&image, {0, 0, 200, 100});
    QPainter painter(&image);
    ctrl()->DrawAxisLabels(painter);
    EXPECT_EQ(ctrl()->XLabelRect(0), (PixRect{p.left, p.bottom + 2, p.left + 8, p.bottom + 16}));
    const int m = (p.left + p.right) / 2;
    EXPECT_EQ(ctrl()->XLabelRect(1), (PixRect{m - 17, p.bottom + 2, m + 18, p.bottom + 16}));
    EXPECT_EQ(ctrl()->XLabelRect(2), (PixRect{p.right - 35, p.bottom + 2, p.right + 1, p.bottom + 16}));
    // A plot narrower than the middle label: it starts at the plot's left edge.
    painter.end();
    const PixRect narrow = ctrl()->RecalcLayout(&image, {0, 0, 40, 100});
    painter.begin(&image);
    ctrl()->DrawAxisLabels(painter);
    EXPECT_EQ(ctrl()->XLabelRect(1).left, narrow.left);
}

// Counts the layout requests a host gets from the control's window.
struct LayoutRequests : QObject {
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        count += event->type() == QEvent::LayoutRequest;
        return false;
    }
};

TEST_F(ScopeLayout, TheWindowsLeastSizeIsWhatTheBandsTakeAndItsHostHearsOfAChange)
{
    QWidget host;
    host.resize(300, 200);
    CComPtr<IOleInPlaceObject> inplace;
    QWidget* wnd = nullptr;
    ASSERT_EQ(scope->QueryInterface(&inplace), S_OK);
    ASSERT_EQ(inplace->InPlaceActivate(&host), S_OK);
    ASSERT_EQ(inplace->GetWindow(&wnd), S_OK);
    inplace->SetObjectRects(0, 0, 300, 200);
    host.show();
    EXPECT_EQ(wnd->minimumSizeHint(), QSize(8 + 3 * 7, 8 + 13)); // "255" and the X label band
    wnd->repaint();
    LayoutRequests requests;
    host.installEventFilter(&requests);

    ASSERT_EQ(scope->put_Caption(CComBSTR(L"Title")), S_OK);
    ASSERT_EQ(scope->put_HScrollBar(ScrollbarYes), S_OK);
    const QSize least = wnd->minimumSizeHint();
    const int scrollBar = QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    EXPECT_EQ(least.height(), 8 + 13 + 13 + scrollBar);
    // Whatever the window adds to its least size is plot area.
    EXPECT_EQ(Layout({0, 0, least.width() + 50, least.height() + 40}), (PixRect{25, 17, 25 + 50, 17 + 40}));
    wnd->repaint();
    QApplication::processEvents();
    EXPECT_GE(requests.count, 1);
    const int told = requests.count;
    wnd->repaint(); // the same least size: nothing to tell
    QApplication::processEvents();
    EXPECT_EQ(requests.count, told);
}

TEST(AxisLabelFormat, GroupingOnlyFromAThousandAndOnlyInRadix10)
{
    EXPECT_EQ(FormatInt64Radix(-999, 10), L"-999");
    EXPECT_EQ(FormatInt64Radix(999, 10), L"999");
    EXPECT_EQ(FormatInt64Radix(-1000, 10), L"-1,000");
    EXPECT_EQ(FormatInt64Radix(-100000, 10), L"-100,000");
    EXPECT_EQ(FormatUInt64Radix(1234567, 10), L"1,234,567");
    EXPECT_EQ(FormatUInt64Radix(100000, 10), L"100,000");
    EXPECT_EQ(FormatInt64Radix(INT64_MIN, 10), L"-9,223,372,036,854,775,808");
    EXPECT_EQ(FormatUInt64Radix(35, 36), L"Z");
}

TEST(AxisLabelFormat, Radix2TakesAll64Digits)
{
    const std::wstring ones(64, L'1');
    EXPECT_EQ(FormatUInt64Radix(UINT64_MAX, 2), ones);
    EXPECT_EQ(FormatInt64Radix(-1, 2), ones);
    EXPECT_EQ(FormatInt64Radix(-1, 16), L"FFFFFFFFFFFFFFFF");
}

} // namespace
