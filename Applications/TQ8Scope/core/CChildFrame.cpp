#include "CChildFrame.h"

#include <QCloseEvent>
#include <QFont>
#include <QFrame>
#include <QSplitter>
#include <QTabWidget>
#include <QVBoxLayout>

#include "CMainApp.h"
#include "CommandIds.h"
#include "IBoardDocument.h"
#include "MessageBox.h"
#include "TextConv.h"

namespace {

// Height of the bottom row until the action form gives its own.
constexpr int kDefaultBottomRowHeight = 220;
// Width of the action pane until the action form gives its own.
constexpr int kDefaultActionPaneWidth = 240;

QFrame* EmptyPane(QWidget* parent)
{
    auto* pane = new QFrame(parent);
    pane->setFrameShape(QFrame::StyledPanel);
    return pane;
}

} // namespace

std::array<CChildFrame::PageEntry, CChildFrame::kPageCount>& CChildFrame::PageTable()
{
    static std::array<PageEntry, kPageCount> table = {{
        {L"Data", "CForm_Data", 106, {}, {}},
        {L"Sampling Rate", "CForm_Clocks", 109, {}, {}},
        {L"Trigger", "CForm_Trig", 107, {}, {}},
        {L"DC Offset", "CForm_DcOffset", 112, {}, {}},
        {L"Status", "CForm_Status", 108, {}, {}},
        {L"Timestamps", "CForm_Timestamps", 126, {}, {}},
        {L"ZAB", "CForm_ZAB", 121, {}, {}},
        {L"FPGA Proc", "CForm_FPGAProc", 167, {}, {}},
        {L"Decimation", "CForm_FLPC2_Dec", 168, {}, {}},
        {L"FFT", "CForm_FLPC4_FFT", 169, {}, {}},
        {L"FIR1", "CForm_FLPC5_FIR1", 170, {}, {}},
        {L"FIR2", "CForm_FLPC6_FIR2", 171, {}, {}},
        {L"Troubleshooting", "CForm_Troubleshooting", 113, {}, {}},
        {L"Data Plotting", "CFormView_Scope", 101, {}, {}},
        {L"Remote", "CForm_Remote", 127, {}, {}},
    }};
    return table;
}

int CChildFrame::PlotRowHeight(int clientHeight, int bottomRowHeight)
{
    int height = clientHeight - kRowOverhead - bottomRowHeight;
    return height < 1 ? 0 : height;
}

CChildFrame::CChildFrame(std::unique_ptr<IBoardDocument> doc, CMainApp& app) : m_app(app), m_doc(std::move(doc))
{
    setWindowTitle(QString::fromStdString(vlt::WideToUtf8(m_doc->GetTitle())));
    m_outer = new QSplitter(Qt::Vertical, this);
    m_plotPane = EmptyPane(m_outer);
    m_inner = new QSplitter(Qt::Horizontal, m_outer);
    m_actionPane = EmptyPane(m_inner);
    m_controlPanel = new QTabWidget(m_inner);
    QFont small = m_controlPanel->font();
    small.setPointSize(9);
    m_controlPanel->setFont(small);
    m_outer->setChildrenCollapsible(true);
    m_inner->setStretchFactor(1, 1);
    m_inner->setSizes({kDefaultActionPaneWidth, 1000});
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_outer);
    m_bottomRowHeight = kDefaultBottomRowHeight;
    m_doc->SetChildFrame(this);
}

CChildFrame::~CChildFrame()
{
    CloseDocument();
}

bool CChildFrame::AddControlPages()
{
    const uint32_t mask = m_doc->GetControlPanelPageMask();
    auto& table = PageTable();
    for (int i = 0; i < kPageCount; ++i) {
        if (!(mask & (1u << i)))
            continue;
        PageEntry& entry = table[static_cast<size_t>(i)];
        QWidget* page = entry.create ? entry.create(*m_doc) : nullptr;
        if (!page)
            return false;
        m_controlPanel->addTab(page, QString::fromStdString(vlt::WideToUtf8(entry.caption)));
        if (entry.formHeight)
            m_bottomRowHeight = std::max(m_bottomRowHeight, entry.formHeight());
    }
    RecalcLayout();
    return true;
}

void CChildFrame::RecalcLayout()
{
    const int client = m_outer->height();
    const int plot = PlotRowHeight(client, m_bottomRowHeight);
    m_plotPane->setMinimumHeight(plot > 0 ? std::min(plot, kMinRowHeight) : 0);
    m_outer->setSizes({plot, std::max(0, client - plot - m_outer->handleWidth())});
}

void CChildFrame::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    RecalcLayout();
}

void CChildFrame::CloseDocument()
{
    if (m_closed || !m_doc)
        return;
    m_closed = true;
    m_doc->CloseDocument();
}

void CChildFrame::closeEvent(QCloseEvent* event)
{
    if (!m_closed && m_doc && m_doc->IsRecording()) {
        vlt::ShowMessageBox(L"Cannot close TQ3300; this device is currently in a data recording", MB_ICONERROR, this);
        event->ignore();
        return;
    }
    CloseDocument();
    event->accept();
}

intptr_t CChildFrame::OnAppMessage(unsigned msg, uintptr_t wParam, intptr_t)
{
    if (msg == WM_COMMAND && wParam == cmd::kApplyCommandLineFile && m_doc && !m_closed) {
        m_doc->ApplyCommandLineFile();
        return 1;
    }
    return 0;
}
