// Sample-value tips: finding the point under the pointer, the tip's text in
// each radix, the label provider, and points of an earlier paint.
#include "CComBSTR.h"
#include "ScopeOnScreen.h"
#include "ToolTip.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>

namespace {

class ScopeSampleTip : public ScopeOnScreen {
protected:
    void SetUp() override
    {
        ScopeOnScreen::SetUp();
        scope->put_HScrollBar(ScrollbarNo);
        Place();
    }
    template <class T>
    uint32_t AddTyped(const std::vector<T>& data, uint32_t channels, const wchar_t* name = L"Typed")
    {
        buffers.push_back(std::make_unique<ArrayHolder>(MakeArray(data)));
        uint32_t id = kNone;
        EXPECT_EQ(scope->AddBufferChannelSource(CComBSTR(name), ArrayVariant(buffers.back()->get(), SampleTraits<T>::vt),
                                                channels, 0, VARIANT_FALSE, &id),
                  S_OK);
        return id;
    }
    // Ten pixels a sample: markers are drawn and the tips are on.
    void Paint()
    {
        scope->put_PageWidth(kPlotW / 10 + 1);
        QImage image(kPlotW + 8, kPlotH + 8, QImage::Format_RGB32);
        scope->RefreshScope();
        ctrl()->OnDraw(&image, {0, 0, kPlotW + 8, kPlotH + 8});
    }
    // The client point where the last paint put a channel's i-th point.
    QPoint PointOf(uint32_t chanId, size_t i)
    {
        const PlottedPoint& p = ctrl()->ChannelState(chanId)->points.points.at(i);
        return QPoint(ctrl()->PlotRect().left + p.x, ctrl()->PlotRect().top + p.y);
    }
    void Hover(QPoint p)
    {
        QMouseEvent e(QEvent::MouseMove, p, wnd()->mapToGlobal(p), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(wnd(), &e);
    }
    std::wstring Format(const CComVariant& v, uint32_t chanId = 0)
    {
        std::wstring text;
        EXPECT_EQ(ctrl()->FormatSampleTipText(chanId, v, &text), S_OK);
        return text;
    }

    vlt::ToolTipRecorder tips;
};

TEST_F(ScopeSampleTip, HoveringAPointShowsItsValue)
{
    AddTyped<uint8_t>({5, 10, 200, 7, 9, 11, 13, 15, 17, 19, 21}, 1);
    Paint();
    Hover(PointOf(0, 2) + QPoint(3, -4)); // the hit box is 8 x 8, right and bottom edges out
    EXPECT_EQ(tips.LastText(), L"200");
    EXPECT_EQ(ctrl()->TipSample(), 2u);
    EXPECT_EQ(tips.Shown().back().globalPos, wnd()->mapToGlobal(PointOf(0, 2)));
    const size_t shown = tips.Shown().size();
    Hover(PointOf(0, 2) + QPoint(1, 1)); // the same point again: no new tip
    EXPECT_EQ(tips.Shown().size(), shown);
    Hover(PointOf(0, 2) + QPoint(4, 0));
    EXPECT_FALSE(tips.Visible());
    EXPECT_EQ(ctrl()->TipChannel(), kNone);
}

TEST_F(ScopeSampleTip, RadixSixteenWritesTheValuesWidth)
{
    AddTyped<uint8_t>({10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10}, 1);
    scope->put_SampleValueTipsRadix(16);
    Paint();
    Hover(PointOf(0, 4));
    EXPECT_EQ(tips.LastText(), L"0A");
}

TEST_F(ScopeSampleTip, NegativeValuesInRadixSixteenAreTwosComplement)
{
    AddTyped<int16_t>({-2, 3}, 1);
    scope->put_SampleValueTipsRadix(16);
    EXPECT_EQ(Format(CComVariant(int16_t(-2))), L"FFFE");
    EXPECT_EQ(Format(CComVariant(int8_t(-1))), L"FF");
    EXPECT_EQ(Format(CComVariant(int32_t(-2))), L"FFFFFFFE");
    EXPECT_EQ(Format(CComVariant(uint32_t(0xFFFFFFFF))), L"FFFFFFFF");
    EXPECT_EQ(Format(CComVariant(2.5)), L"2.5"); // floats as text in any radix
    scope->put_SampleValueTipsRadix(8);
    EXPECT_EQ(Format(CComVariant(int16_t(-2))), L"-2");
    EXPECT_EQ(Format(CComVariant(uint32_t(0xFFFFFFFF))), L"4294967295");
    scope->put_SampleValueTipsRadix(10);
    EXPECT_EQ(Format(CComVariant(0.125f)), L"0.125");
}

TEST_F(ScopeSampleTip, SeveralSourcesAndInterleavedChannelsNameTheirSample)
{
    AddTyped<uint8_t>({1, 2}, 1);
    const uint32_t second = AddTyped<uint8_t>({10, 10, 10, 10}, 2, L"  Left  ");
    scope->put_SampleValueTipsRadix(16);
    EXPECT_EQ(Format(CComVariant(uint8_t(10)), First(second) + 1), L"Left: Ch. 2: 0A");
    EXPECT_EQ(Format(CComVariant(uint8_t(1)), 0), L"Typed: 01");
}

struct TipLabels : NoLabels {
    std::wstring label;
    HRESULT GetSampleTipLabel(uint32_t chanId, uint64_t sample, VARIANT value, BSTR* out) override
    {
        if (label.empty())
            return E_FAIL;
        *out = CComBSTR(label + L" " + std::to_wstring(chanId) + L"/" + std::to_wstring(sample) + L"/"
                        + std::to_wstring(value.bVal))
                   .Detach();
        return S_OK;
    }
};

TEST_F(ScopeSampleTip, TheLabelProviderWritesTheTipWhenItCan)
{
    AddTyped<uint8_t>({5, 10, 200, 7, 9, 11, 13, 15, 17, 19, 21}, 1);
    auto labels = MakeSink<TipLabels>();
    scope->SetCustomLabelProvider(labels);
    Paint();
    Hover(PointOf(0, 3));
    EXPECT_EQ(tips.LastText(), L"7"); // the provider failed
    labels->label = L"at";
    Hover(PointOf(0, 4));
    EXPECT_EQ(tips.LastText(), L"at 0/4/9");
}

TEST_F(ScopeSampleTip, NoTipsWithoutMarkersOrWhenDisabled)
{
    AddTyped<uint8_t>({5, 10, 200, 7, 9, 11, 13, 15, 17, 19, 21}, 1);
    Paint();
    const QPoint p = PointOf(0, 2);
    scope->put_SampleValueTipsEnabled(VARIANT_FALSE);
    Hover(p);
    EXPECT_TRUE(tips.Shown().empty());
    scope->put_SampleValueTipsEnabled(VARIANT_TRUE);
    scope->put_PageWidth(1000); // markers too dense to show
    Hover(p);
    EXPECT_TRUE(tips.Shown().empty());
}

TEST_F(ScopeSampleTip, APointOfAnEarlierPaintIsNoHit)
{
    FakeSourcePtr source = AddFake(1000);
    Paint();
    const QPoint p = PointOf(0, 5);
    source->failAtCall = int(source->requests.size()); // the next read fails
    Paint();
    EXPECT_EQ(ctrl()->ChannelState(0)->points.filled, 0u);
    Hover(p);
    EXPECT_TRUE(tips.Shown().empty());
}

TEST_F(ScopeSampleTip, TheHiddenChannelAndTheChosenOneComeFirst)
{
    AddTyped<uint8_t>(std::vector<uint8_t>(22, 50), 2); // both channels at the same points
    Paint();
    const QPoint p = PointOf(0, 3);
    Hover(p);
    EXPECT_EQ(ctrl()->TipChannel(), 0u);
    scope->put_SampleValueTipsChannelId(1);
    Hover(PointOf(1, 4));
    EXPECT_EQ(ctrl()->TipChannel(), 1u);
    scope->put_ChannelVisibility(1, VARIANT_FALSE);
    Hover(PointOf(1, 6));
    EXPECT_EQ(ctrl()->TipChannel(), 0u);
}

} // namespace
