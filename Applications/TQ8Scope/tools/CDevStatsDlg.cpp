#include "CDevStatsDlg.h"

#include <cwchar>

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "DialogItems.h"
#include "ErrorBox.h"
#include "TextConv.h"
#include "TitleFit.h"

namespace {

const char* const kValueNames[CDevStatsDlg::kFieldCount] = {
    "activeConnections",   "interrupts",            "dmaTransfersCompleted", "dmaTransfersStarted",
    "acquisitionsStarted", "acquisitionsCompleted", "clockModuleResets",     "bytesTransferred"};

const QString kCaption = QStringLiteral("TQ3300 Driver Statistics");

QString ToQt(const std::wstring& text)
{
    return QString::fromStdString(vlt::WideToUtf8(text));
}

} // namespace

const std::array<const wchar_t*, CDevStatsDlg::kFieldCount> CDevStatsDlg::kFieldLabels = {
    L"Active device connections:", L"Device interrupt counter:", L"DMA transfers completed:",
    L"DMA transfers started:",     L"Acquisitions started:",      L"Acquisitions completed:",
    L"Digital clock module resets:", L"Total bytes transferred:"};

CDevStatsDlg::CDevStatsDlg(QWidget* parent, TQ8_HANDLE device)
    : QDialog(parent), m_device(device), m_timers([this](unsigned id) { OnTimer(id); })
{
    BuildControls();
    setWindowTitle(kCaption);
    Refresh();
    AppendBoardNameToTitle(this, m_device, kErrorBoxNameFlags);
    // The board's name makes the title wider than the counters.
    vlt::KeepTitleShown(this);
}

void CDevStatsDlg::BuildControls()
{
    setObjectName(QStringLiteral("devStatsDlg"));
    auto* grid = new QGridLayout;
    for (size_t i = 0; i < kFieldCount; ++i) {
        const int row = static_cast<int>(i);
        grid->addWidget(new QLabel(ToQt(kFieldLabels[i]), this), row, 0);
        m_values[i] = new QLabel(this);
        m_values[i]->setObjectName(QString::fromLatin1(kValueNames[i]));
        m_values[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_values[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        grid->addWidget(m_values[i], row, 1);
    }
    m_lastRefresh = new QLabel(this);
    m_lastRefresh->setObjectName(QStringLiteral("lastRefresh"));

    m_autoRefresh = new QCheckBox(QStringLiteral("Auto-refresh every second"), this);
    m_autoRefresh->setObjectName(QStringLiteral("autoRefresh"));
    m_resetCounters = new QCheckBox(QStringLiteral("Reset counters on next refresh"), this);
    m_resetCounters->setObjectName(QStringLiteral("resetCounters"));
    m_keepOnTop = new QCheckBox(QStringLiteral("Keep this window on top"), this);
    m_keepOnTop->setObjectName(QStringLiteral("keepOnTop"));
    connect(m_autoRefresh, &QCheckBox::toggled, this, &CDevStatsDlg::OnAutoRefreshToggled);
    connect(m_keepOnTop, &QCheckBox::toggled, this, &CDevStatsDlg::OnKeepOnTopToggled);

    m_refresh = new QPushButton(QStringLiteral("&Refresh Stats"), this);
    m_refresh->setObjectName(QStringLiteral("refreshStats"));
    m_refresh->setAutoDefault(false);
    m_close = new QPushButton(QStringLiteral("Close"), this);
    m_close->setObjectName(QStringLiteral("close"));
    m_close->setDefault(true);
    connect(m_refresh, &QPushButton::clicked, this, [this] { Refresh(); });
    connect(m_close, &QPushButton::clicked, this, &CDevStatsDlg::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_refresh);
    buttons->addStretch(1);
    buttons->addWidget(m_close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(m_lastRefresh);
    layout->addWidget(m_autoRefresh);
    layout->addWidget(m_resetCounters);
    layout->addWidget(m_keepOnTop);
    layout->addLayout(buttons);
}

std::array<std::wstring, CDevStatsDlg::kFieldCount> CDevStatsDlg::FieldTexts(const TQ8_DRIVER_STATS& s)
{
    return {std::to_wstring(s.activeConnections),     std::to_wstring(s.interrupts),
            std::to_wstring(s.dmaTransfersCompleted), std::to_wstring(s.dmaTransfersStarted),
            std::to_wstring(s.acquisitionsStarted),   std::to_wstring(s.acquisitionsCompleted),
            std::to_wstring(s.clockModuleResets),     std::to_wstring(s.bytesTransferred)};
}

std::wstring CDevStatsDlg::LastRefreshText(const std::tm& localTime)
{
    wchar_t text[128];
    const size_t n = std::wcsftime(text, sizeof text / sizeof text[0], L"Last refresh: %X", &localTime);
    return std::wstring(text, n);
}

bool CDevStatsDlg::Refresh()
{
    // A tick that arrives while the error box is open must not query again.
    if (m_refreshing)
        return false;
    m_refreshing = true;
    const bool ok = QueryAndShow();
    m_refreshing = false;
    return ok;
}

bool CDevStatsDlg::QueryAndShow()
{
    // Cleared before the query, so one check asks for one reset.
    const bool reset = m_resetCounters->isChecked();
    if (reset)
        m_resetCounters->setChecked(false);
    m_stats.size = sizeof(TQ8_DRIVER_STATS);
    const int32_t rc = GetDriverStatsTQ8(m_device, &m_stats, reset ? 1 : 0);
    if (rc != TQ8_OK) {
        // Off before the box: the timer must not raise another one meanwhile.
        m_autoRefresh->setChecked(false);
        ShowDeviceErrorBox(rc, L"Failed to get driver stats: ", m_device);
        return false;
    }
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    m_lastRefresh->setText(ToQt(LastRefreshText(local)));
    ShowStats();
    return true;
}

void CDevStatsDlg::ShowStats()
{
    const auto texts = FieldTexts(m_stats);
    for (size_t i = 0; i < kFieldCount; ++i)
        m_values[i]->setText(ToQt(texts[i]));
}

void CDevStatsDlg::OnTimer(unsigned id)
{
    if (id == kRefreshTimer)
        Refresh();
}

void CDevStatsDlg::OnAutoRefreshToggled(bool on)
{
    if (on) {
        m_timers.SetTimer(kRefreshTimer, kRefreshMs);
        setWindowTitle(kCaption + QStringLiteral(" - Auto Refreshing"));
    } else {
        m_timers.KillTimer(kRefreshTimer);
        setWindowTitle(kCaption);
    }
}

void CDevStatsDlg::OnKeepOnTopToggled(bool on)
{
    // Changing the flag re-creates the native window, which hides it.
    const bool visible = isVisible();
    const QRect geometry = this->geometry();
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    setGeometry(geometry);
    if (visible)
        show();
}

void CDevStatsDlg::reject()
{
    hide();
}
