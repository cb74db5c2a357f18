#pragma once
// The modeless "TQ3300 Driver Statistics" window of a board: the driver's
// counters, refreshed on request or every second, with an optional reset.
// "Close" and Escape only hide it; its document shows it again and
// destroys it.
#include <array>
#include <ctime>
#include <string>

#include <QDialog>

#include "TQ8_64.h"
#include "TimerSet.h"

class QCheckBox;
class QLabel;
class QPushButton;

class CDevStatsDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr unsigned kRefreshTimer = 1;
    static constexpr int kRefreshMs = 1000;
    static constexpr size_t kFieldCount = 8;

    // Queries the counters once (a failure shows its error box).
    CDevStatsDlg(QWidget* parent, TQ8_HANDLE device);

    // The labels of the fields, in record order, and their texts for a record.
    static const std::array<const wchar_t*, kFieldCount> kFieldLabels;
    static std::array<std::wstring, kFieldCount> FieldTexts(const TQ8_DRIVER_STATS& stats);
    static std::wstring LastRefreshText(const std::tm& localTime);

    // Queries the counters (with a reset when the box asks for one, which
    // clears the box first) and shows them. On failure auto-refresh goes
    // off before the error box is shown. True on success; false also when
    // called again while a refresh (and its error box) is still under way.
    bool Refresh();
    void OnTimer(unsigned id);
    bool IsAutoRefreshing() const { return m_timers.IsActive(kRefreshTimer); }
    int AutoRefreshInterval() const { return m_timers.Interval(kRefreshTimer); }
    const TQ8_DRIVER_STATS& Stats() const { return m_stats; }

public slots:
    void reject() override;

private:
    void BuildControls();
    bool QueryAndShow();
    void ShowStats();
    void OnAutoRefreshToggled(bool on);
    void OnKeepOnTopToggled(bool on);

    TQ8_HANDLE m_device;
    TQ8_DRIVER_STATS m_stats{};
    bool m_refreshing = false;
    vlt::TimerSet m_timers;
    std::array<QLabel*, kFieldCount> m_values{};
    QLabel* m_lastRefresh = nullptr;
    QCheckBox* m_autoRefresh = nullptr;
    QCheckBox* m_resetCounters = nullptr;
    QCheckBox* m_keepOnTop = nullptr;
    QPushButton* m_refresh = nullptr;
    QPushButton* m_close = nullptr;
};
