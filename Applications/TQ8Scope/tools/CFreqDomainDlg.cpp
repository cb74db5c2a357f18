#include "CFreqDomainDlg.h"

#include <algorithm>

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QResizeEvent>
#include <QShortcut>
#include <QSizeGrip>
#include <QStyle>
#include <QTabBar>
#include <QTreeWidget>

#include "CColorKeyButton.h"
#include "CComPtr.h"
#include "CFftOptionsDlg.h"
#include "ComCreate.h"
#include "DialogItems.h"
#include "DisableWindowTheme.h"
#include "ErrorBeep.h"
#include "FreqDomainTexts.h"
#include "IFreqDomainHost.h"
#include "Mnemonic.h"
#include "OleColor.h"
#include "TextConv.h"

namespace {
constexpr int kWidth = 980;
constexpr int kHeight = 540;
// The peak list and the gap between it and the spectrum; the window grows
// by what the list needs beyond its first width, so the spectrum keeps its.
constexpr int kPeakListLeft = 350;
constexpr int kPeakListWidth = 210;
constexpr int kPeakListGap = 10;
// The widest texts of the peak list's columns: a level, a frequency, a bin.
const char* const kWidestPeakTexts[] = {"-100.000 dB", "1234.567 MHz", "65535"};
constexpr int kRowHeight = 22;
constexpr int kPlotId = 1109;

const wchar_t* const kFigureLabels[CFreqDomainDlg::kFigureCount] = {
    L"FFT size:", L"Playback rate:", L"Fundamental freq:", L"SNR:", L"SINAD:", L"SFDR:",
    L"2nd harm.:", L"3rd harm.:", L"THD:", L"RMS noise counts:", L"Total RMS counts:",
    L"Avg. sample value:", L"Min/max samp. val:", L"Averaged:"};

QString ToQ(const std::wstring& text)
{
    return QString::fromStdWString(text);
}

// Each column as wide as its widest text and its header with the sort arrow.
int FitPeakColumns(QTreeWidget* list)
{
    QStyle* style = list->style();
    const int itemMargin = 2 * (style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1);
    const int headerMargin = style->pixelMetric(QStyle::PM_HeaderMargin, nullptr, list->header());
    const int sortMark = style->pixelMetric(QStyle::PM_HeaderMarkSize, nullptr, list->header());
    int total = 0;
    for (int column = 0; column < list->columnCount(); ++column) {
        const int item = list->fontMetrics().horizontalAdvance(QString::fromLatin1(kWidestPeakTexts[column])) + itemMargin;
        const int header = list->header()->fontMetrics().horizontalAdvance(list->headerItem()->text(column)) +
                           3 * headerMargin + sortMark;
        const int width = std::max(item, header);
        list->setColumnWidth(column, width);
        total += width;
    }
    return total + 2 * list->frameWidth() + style->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list);
}

// "Averaged:" takes the place of "Avg. sample value:", which it replaces.
int FigureRow(int figure)
{
    return figure == CFreqDomainDlg::kAveraged ? CFreqDomainDlg::kMeanSample : figure;
}
} // namespace

IScopeTQ8* CFreqDomainDlg::CreatePlotByProgId(QWidget* parent, QWidget** widget)
{
    *widget = nullptr;
    CLSID clsid;
    if (FAILED(CLSIDFromProgID(L"TQ8UI.ScopeCtrl", &clsid)))
        return nullptr;
    CComPtr<IScopeTQ8> plot;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IScopeTQ8::iid, reinterpret_cast<void**>(&plot))))
        return nullptr;
    CComPtr<IOleInPlaceObject> inPlace;
    if (FAILED(plot->QueryInterface(&inPlace)) || FAILED(inPlace->InPlaceActivate(parent)) ||
        FAILED(inPlace->GetWindow(widget)) || !*widget)
        return nullptr;
    return plot.Detach();
}

CFreqDomainDlg::CFreqDomainDlg(QWidget* parent, std::unique_ptr<IFreqDomainHost> host, PlotFactory plotFactory)
    : QDialog(parent), m_host(std::move(host)), m_controller(*m_host)
{
    setObjectName(QStringLiteral("freqDomainDlg"));
    setWindowIcon(QApplication::windowIcon());
    setSizeGripEnabled(false);
    BuildControls();
    resize(kWidth, kHeight);
    m_lastSize = size();
    // The controls follow when the window is shown.
    resize(kWidth + m_peaks->width() - kPeakListWidth, kHeight);
    setMinimumSize(size());
    CreatePlot(plotFactory);
    ShowLayout(false);
    setWindowTitle(QStringLiteral("Frequency Domain (FFT) - ") + ToQ(m_host->GetDeviceDisplayName()));
    m_controller.AddAllSources();
    Render();
    new QShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+F")), this, this, &QWidget::hide);
}

CFreqDomainDlg::~CFreqDomainDlg()
{
    // The plot lets go of the traces before the channels that own them go.
    m_controller.Close();
}

void CFreqDomainDlg::BuildControls()
{
    // The tabs sit on a panel that holds the figures and reaches down to the
    // plot's bottom edge.
    m_tabPanel = new QFrame(this);
    m_tabPanel->setObjectName(QStringLiteral("tabPanel"));
    m_tabPanel->setFrameShape(QFrame::StyledPanel);
    m_tabPanel->setGeometry(8, 31, 334, kHeight - 81);
    m_tabs = new QTabBar(this);
    m_tabs->setObjectName(QStringLiteral("tabs"));
    m_tabs->setGeometry(8, 8, 300, 24);
    m_tabs->setExpanding(false);
    m_tabs->setUsesScrollButtons(true);
    DisableWindowTheme(m_tabs);
    connect(m_tabs, &QTabBar::currentChanged, this, [this](int index) {
        m_controller.SelectTab(index);
        Render();
    });
    m_tabMenu = new QPushButton(QStringLiteral("&..."), this);
    m_tabMenu->setObjectName(QStringLiteral("tabMenu"));
    m_tabMenu->setGeometry(312, 8, 28, 24);
    connect(m_tabMenu, &QPushButton::clicked, this, &CFreqDomainDlg::OnTabMenu);

    for (int i = 0; i < kFigureCount; ++i) {
        const int y = 40 + FigureRow(i) * kRowHeight;
        m_labels[i] = new QLabel(ToQ(kFigureLabels[i]), this);
        m_labels[i]->setGeometry(16, y, 120, kRowHeight);
        m_values[i] = new QLabel(this);
        m_values[i]->setObjectName(QStringLiteral("figure%1").arg(i));
        m_values[i]->setGeometry(140, y, 196, kRowHeight);
        m_values[i]->setTextInteractionFlags(::Qt::TextSelectableByMouse);
    }
    m_colorKey = new CColorKeyButton(this);
    m_colorKey->setObjectName(QStringLiteral("colorKey"));
    m_colorKey->setGeometry(16, 40 + 13 * kRowHeight + 6, 320, 14);

    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("note"));
    m_note->setWordWrap(true);
    m_note->setAlignment(::Qt::AlignLeft | ::Qt::AlignTop);
    m_note->setTextInteractionFlags(::Qt::TextSelectableByMouse);
    m_note->setGeometry(16, 40 + 13 * kRowHeight + 28, 320, 4 * kRowHeight);
    m_note->hide();

    m_peakLabel = new QLabel(QStringLiteral("Peak frequencies"), this);
    m_peaks = new QTreeWidget(this);
    m_peaks->setObjectName(QStringLiteral("peakList"));
    m_peaks->setColumnCount(3);
    m_peaks->setHeaderLabels({QStringLiteral("Power"), QStringLiteral("Freq"), QStringLiteral("Bin #")});
    const int peaksWidth = std::max(kPeakListWidth, FitPeakColumns(m_peaks));
    m_peaks->setGeometry(kPeakListLeft, 30, peaksWidth, kHeight - 80);
    m_peakLabel->setGeometry(kPeakListLeft, 8, peaksWidth, 20);
    m_peaks->setRootIsDecorated(false);
    m_peaks->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_peaks->header()->setSectionsClickable(true);
    m_peaks->header()->setSortIndicatorShown(true);
    connect(m_peaks->header(), &QHeaderView::sectionClicked, this, [this](int column) {
        m_controller.ClickPeakHeader(column);
        Render();
    });
    connect(m_peaks, &QTreeWidget::itemActivated, this, &CFreqDomainDlg::OnPeakActivated);

    m_frame = new QWidget(this);
    m_frame->setGeometry(kPeakListLeft + kPeakListWidth + kPeakListGap, 40,
                         kWidth - 8 - (kPeakListLeft + kPeakListWidth + kPeakListGap), kHeight - 90);
    m_frame->hide(); // the plot takes its place

    m_noSources = new QLabel(QStringLiteral("[This window will display the frequency domain of sources in the scope "
                                            "control on the main user interface.]"),
                             this);
    m_noSources->setObjectName(QStringLiteral("noSources"));
    m_noSources->setWordWrap(true);
    m_noSources->setGeometry(16, kHeight - 110, 320, 60);

    m_hide = new QCheckBox(QStringLiteral("Hide this channel in plot"), this);
    m_hide->setObjectName(QStringLiteral("hideChannel"));
    m_hide->setGeometry(16, kHeight - 40, std::max(170, m_hide->sizeHint().width()), 26);
    connect(m_hide, &QCheckBox::toggled, this, &CFreqDomainDlg::OnHideToggled);
    m_restart = new QPushButton(QStringLiteral("Restart Averaging Now"), this);
    m_restart->setObjectName(QStringLiteral("restartAveraging"));
    m_restart->setGeometry(190, kHeight - 40, 150, 26);
    connect(m_restart, &QPushButton::clicked, this, [this] {
        m_controller.RestartAveraging();
        Render();
    });
    m_options = new QPushButton(QStringLiteral("&Options..."), this);
    m_options->setObjectName(QStringLiteral("options"));
    m_options->setGeometry(350, kHeight - 40, 100, 26);
    connect(m_options, &QPushButton::clicked, this, &CFreqDomainDlg::OnOptions);
    m_resetScale = new QPushButton(QStringLiteral("Reset Plot Scaling"), this);
    m_resetScale->setObjectName(QStringLiteral("resetScale"));
    m_resetScale->setGeometry(kWidth - 148, 8, 140, 26);
    connect(m_resetScale, &QPushButton::clicked, this, [this] { m_controller.ResetPlotScaling(); });
    m_close = new QPushButton(QStringLiteral("Close"), this);
    m_close->setObjectName(QStringLiteral("close"));
    m_close->setGeometry(kWidth - 118, kHeight - 40, 90, 26);
    connect(m_close, &QPushButton::clicked, this, &QWidget::hide);
    m_grip = new QSizeGrip(this);
    m_grip->setGeometry(kWidth - 16, kHeight - 16, 16, 16);
}

void CFreqDomainDlg::CreatePlot(const PlotFactory& factory)
{
    QWidget* widget = nullptr;
    IScopeTQ8* plot = factory ? factory(this, &widget) : nullptr;
    if (!plot)
        return; // the window works on without a plot
    m_controller.AttachPlot(plot);
    plot->Release();
    m_plotWidget = widget;
    if (m_plotWidget) {
        m_plotWidget->setObjectName(QString::number(kPlotId));
        m_plotWidget->setParent(this);
        m_plotWidget->setGeometry(m_frame->geometry());
        m_plotWidget->show();
    }
}

// ---- Entry points ----------------------------------------------------------------

void CFreqDomainDlg::LoadOptions()
{
    m_controller.LoadOptions();
    Render();
}

void CFreqDomainDlg::UpdateSpectra(int32_t srcId)
{
    m_controller.UpdateSpectra(srcId);
    Render();
}

void CFreqDomainDlg::OnSourceAdded(uint32_t srcId)
{
    m_controller.OnSourceAdded(srcId);
    Render();
}

void CFreqDomainDlg::OnSourceRemoved(uint32_t srcId)
{
    m_controller.RemoveSourceChannels(srcId);
    Render();
}

void CFreqDomainDlg::OnPlotSelectionChanged()
{
    m_controller.OnPlotSelectionChanged();
    Render();
}

// ---- Commands --------------------------------------------------------------------

void CFreqDomainDlg::reject()
{
    hide();
}

void CFreqDomainDlg::closeEvent(QCloseEvent* event)
{
    event->ignore();
    hide();
}

void CFreqDomainDlg::OnOptions()
{
    CFFTOptions copy = m_controller.Options();
    CFftOptionsDlg dialog(this, copy);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_controller.ApplyOptions(copy);
    Render();
}

std::unique_ptr<QMenu> CFreqDomainDlg::BuildTabMenu() const
{
    auto menu = std::make_unique<QMenu>();
    for (int i = 0; i < m_tabs->count(); ++i) {
        QString text = m_tabs->tabText(i);
        if (text.isEmpty())
            text = QStringLiteral("Tab %1").arg(i + 1);
        menu->addAction(text)->setData(i + 1);
    }
    return menu;
}

void CFreqDomainDlg::OnTabMenu()
{
    if (m_tabs->count() == 0) {
        vlt::ErrorBeep();
        return;
    }
    auto menu = BuildTabMenu();
    if (QAction* chosen = menu->exec(m_tabMenu->mapToGlobal(m_tabMenu->rect().topRight())))
        ChooseTab(chosen->data().toInt() - 1);
}

void CFreqDomainDlg::ChooseTab(int index)
{
    m_tabs->setCurrentIndex(index); // shows it through currentChanged
    m_controller.SelectTab(index);
    Render();
}

void CFreqDomainDlg::OnPeakActivated()
{
    QTreeWidgetItem* item = m_peaks->currentItem();
    if (!item || !m_controller.ActivatePeak(item->data(0, ::Qt::UserRole).toInt()))
        vlt::ErrorBeep();
}

void CFreqDomainDlg::OnHideToggled(bool hidden)
{
    m_controller.SetResultHidden(hidden);
    Render();
}

// ---- Showing the controller's state ----------------------------------------------

void CFreqDomainDlg::ShowLayout(bool withChannels)
{
    if (m_layoutShown && withChannels == m_withChannels)
        return;
    m_layoutShown = true;
    m_withChannels = withChannels;
    m_noSources->setVisible(!withChannels);
    for (QWidget* w : std::initializer_list<QWidget*>{m_tabMenu, m_hide, m_resetScale, m_tabs, m_tabPanel}) {
        w->setVisible(withChannels);
        w->setEnabled(withChannels);
    }
    for (int i = 0; i < kFigureCount; ++i) {
        m_labels[i]->setVisible(withChannels);
        m_values[i]->setVisible(withChannels);
    }
    if (!withChannels)
        m_colorKey->SetFillColor(palette().color(QPalette::Button));
}

void CFreqDomainDlg::SyncTabs()
{
    const auto& tabs = m_controller.Tabs();
    const QSignalBlocker block(m_tabs);
    while (m_tabs->count() > static_cast<int>(tabs.size()))
        m_tabs->removeTab(m_tabs->count() - 1);
    for (int i = 0; i < static_cast<int>(tabs.size()); ++i) {
        // A channel's name holds its source's name, maybe a file's.
        const QString text = vlt::NoPrefixText(ToQ(m_controller.TabText(i)));
        if (i < m_tabs->count())
            m_tabs->setTabText(i, text);
        else
            m_tabs->addTab(text);
    }
    m_tabs->setCurrentIndex(m_controller.CurrentTab());
    FitTabStrip();
}

// A channel's name holds its board's name, long for a remote board: the tab
// strip grows until its widest tab shows whole beside the scroll buttons, and
// the window with it; the spectrum keeps its width.
void CFreqDomainDlg::FitTabStrip()
{
    int widest = 0;
    for (int i = 0; i < m_tabs->count(); ++i)
        widest = std::max(widest, m_tabs->tabRect(i).width());
    const int buttons = 2 * m_tabs->style()->pixelMetric(QStyle::PM_TabBarScrollButtonWidth, nullptr, m_tabs);
    const int grow = widest + buttons - m_tabs->width();
    if (grow <= 0)
        return;
    ResizeControlBy(m_tabs, grow, 0);
    ResizeControlBy(m_tabPanel, grow, 0);
    for (QWidget* w : std::initializer_list<QWidget*>{m_tabMenu, m_peakLabel, m_peaks, m_options})
        MoveControlBy(w, grow, 0);
    // The window's growth widens the spectrum again (see resizeEvent).
    for (QWidget* w : std::initializer_list<QWidget*>{m_frame, m_plotWidget})
        if (w)
            w->setGeometry(w->geometry().adjusted(grow, 0, 0, 0));
    setMinimumSize(minimumWidth() + grow, minimumHeight());
    resize(width() + grow, height());
}

void CFreqDomainDlg::Render()
{
    const CFreqDomainController::Display d = m_controller.GetDisplay();
    ShowLayout(d.withChannels);
    SyncTabs();
    m_restart->setVisible(d.restartAveraging);
    m_restart->setEnabled(d.restartAveraging);
    m_peakLabel->setVisible(d.peakList);
    m_peaks->setVisible(d.peakList);
    m_peaks->setEnabled(d.peakList);
    PlaceSpectrum(d.peakList);

    const std::array<const std::wstring*, kFigureCount> texts = {
        &d.fftSize, &d.rate, &d.fundamental, &d.snr, &d.sinad, &d.sfdr, &d.harmonic2, &d.harmonic3,
        &d.thd, &d.rmsNoise, &d.rmsTotal, &d.meanSample, &d.minMax, &d.averaged};
    for (int i = 0; i < kFigureCount; ++i)
        m_values[i]->setText(ToQ(*texts[i]));
    const bool current = !d.averagedTab;
    for (Figure f : {kMinMax, kMeanSample}) {
        m_labels[f]->setVisible(d.withChannels && current);
        m_values[f]->setVisible(d.withChannels && current);
    }
    m_labels[kAveraged]->setVisible(d.withChannels && !current);
    m_values[kAveraged]->setVisible(d.withChannels && !current);
    {
        const QSignalBlocker block(m_hide);
        m_hide->setChecked(d.hidden);
    }
    m_note->setText(ToQ(d.note));
    m_note->setVisible(d.withChannels && !d.note.empty());
    if (d.withChannels)
        m_colorKey->SetFillColor(vlt::OleColorToQColor(d.keyFill));
    m_colorKey->SetLineColor(vlt::OleColorToQColor(d.keyLine));
    if (d.peakList)
        FillPeakList(d);
}

void CFreqDomainDlg::PlaceSpectrum(bool besidePeakList)
{
    // The spectrum takes the peak list's room while the list is hidden; its
    // right and bottom edges stay where the window's size put them.
    const int left = besidePeakList ? m_peaks->geometry().right() + 1 + kPeakListGap : m_peaks->x();
    for (QWidget* w : {m_frame, m_plotWidget}) {
        if (!w)
            continue;
        QRect r = w->geometry();
        r.setLeft(left);
        w->setGeometry(r);
    }
}

void CFreqDomainDlg::FillPeakList(const CFreqDomainController::Display& d)
{
    QTreeWidgetItem* selected = m_peaks->currentItem();
    const int keep = selected ? selected->data(0, ::Qt::UserRole).toInt() : -1;
    m_peaks->setUpdatesEnabled(false);
    m_peaks->clear();
    for (const auto& row : d.peaks) {
        auto* item = new QTreeWidgetItem(m_peaks, {ToQ(row.power), ToQ(row.frequency), ToQ(row.bin)});
        item->setData(0, ::Qt::UserRole, row.entry);
        if (row.entry == keep)
            m_peaks->setCurrentItem(item);
    }
    const int column = d.peakSort & freqtext::kSortColumnMask;
    const bool ascending = static_cast<uint32_t>(d.peakSort) & freqtext::kSortReversed;
    // Qt draws a descending indicator as the up arrow.
    m_peaks->header()->setSortIndicator(column, ascending ? ::Qt::AscendingOrder : ::Qt::DescendingOrder);
    m_peaks->setUpdatesEnabled(true);
}

void CFreqDomainDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    const int dx = event->size().width() - m_lastSize.width();
    const int dy = event->size().height() - m_lastSize.height();
    m_lastSize = event->size();
    for (QWidget* w : std::initializer_list<QWidget*>{m_grip, m_close})
        MoveControlBy(w, dx, dy);
    for (QWidget* w : std::initializer_list<QWidget*>{m_restart, m_options, m_hide, m_noSources})
        MoveControlBy(w, 0, dy);
    MoveControlBy(m_resetScale, dx, 0);
    ResizeControlBy(m_frame, dx, dy);
    if (m_plotWidget)
        ResizeControlBy(m_plotWidget, dx, dy);
    ResizeControlBy(m_peaks, 0, dy);
    ResizeControlBy(m_tabPanel, 0, dy);
}
