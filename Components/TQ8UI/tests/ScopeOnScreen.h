#pragma once
// A control in place in a host window, with a fixed plot rectangle: no
// labels or caption, margins of 4 round a plot of kPlotW x kPlotH pixels
// (less the scroll-bar strip while the scroll bar is in use).
#include "FakeSource.h"
#include "ScopeWithSources.h"

#include <QPoint>
#include <QWidget>
#include <memory>

class ScopeOnScreen : public ScopeWithSources {
protected:
    static constexpr int kPlotW = 100;
    static constexpr int kPlotH = 100;

    void SetUp() override;
    void TearDown() override;
    CScopeCtrl* ctrl() { return Impl(scope); }
    QWidget* wnd();
    // Lays the control out again, as a paint would.
    void Place();
    // A fake source of `total` samples per channel.
    FakeSourcePtr AddFake(uint64_t total, uint32_t channels = 1);
    // A client point at pixel (x, y) of the plot area.
    QPoint InPlot(int x, int y) const { return QPoint(4 + x, 4 + y); }
    uint64_t Start();
    uint32_t Page();
    std::pair<int32_t, int32_t> Range();
    CComPtr<NotifySink> Listen();

    std::unique_ptr<QWidget> host;
};
