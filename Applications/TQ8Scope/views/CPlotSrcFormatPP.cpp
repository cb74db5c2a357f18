#include "CPlotSrcFormatPP.h"

#include <QComboBox>
#include <QFormLayout>

#include "CFormView_Scope.h"
#include "MessageBox.h"

CPlotSrcFormatPP::CPlotSrcFormatPP(QWidget* parent)
    : CPropertyPage(QStringLiteral("Display Format"), parent), m_size(new QComboBox(this)),
      m_format(new QComboBox(this)), m_channels(new QComboBox(this))
{
    m_size->addItems({QStringLiteral("8-bit"), QStringLiteral("16-bit")});
    m_format->addItems({QStringLiteral("Unsigned"), QStringLiteral("Signed")});
    for (int n = 1; n <= 8; ++n)
        m_channels->addItem(QString::number(n));
    m_size->setCurrentIndex(0);
    m_format->setCurrentIndex(0);
    m_channels->setCurrentIndex(1);
    auto* layout = new QFormLayout(this);
    layout->addRow(QStringLiteral("Sample size:"), m_size);
    layout->addRow(QStringLiteral("Sample format:"), m_format);
    layout->addRow(QStringLiteral("Channel count:"), m_channels);
    for (QComboBox* combo : {m_size, m_format, m_channels})
        connect(combo, &QComboBox::activated, this, [this] { SetModified(); });
}

VARTYPE CPlotSrcFormatPP::SampleType(int sizeIndex, int formatIndex)
{
    if (formatIndex == 1)
        return sizeIndex == 1 ? VT_I2 : VT_I1;
    return sizeIndex == 1 ? VT_UI2 : VT_UI1;
}

bool CPlotSrcFormatPP::AttachSource(CFormView_Scope* panel, uint32_t srcId)
{
    m_panel = panel;
    m_srcId = srcId;
    const CFormView_Scope::CPlotSrcState* state = panel ? panel->FindSourceState(srcId) : nullptr;
    if (!state)
        return false;
    switch (state->GetSampleVarType()) {
    case VT_I1: m_size->setCurrentIndex(0), m_format->setCurrentIndex(1); break;
    case VT_I2: m_size->setCurrentIndex(1), m_format->setCurrentIndex(1); break;
    case VT_UI1: m_size->setCurrentIndex(0), m_format->setCurrentIndex(0); break;
    case VT_UI2: m_size->setCurrentIndex(1), m_format->setCurrentIndex(0); break;
    default: return false;
    }
    const uint32_t channels = state->GetChannelCount();
    m_channels->setCurrentIndex(channels >= 1 && channels <= 8 ? int(channels - 1) : -1);
    return true;
}

bool CPlotSrcFormatPP::AddFile(const std::wstring& path, VARTYPE type, uint32_t channels, std::wstring* reason)
{
    return m_panel->AddFileSource(path, type, channels, reason);
}

bool CPlotSrcFormatPP::OnApply()
{
    if (!m_panel || m_channels->currentIndex() < 0)
        return false;
    const CFormView_Scope::CPlotSrcState* state = m_panel->FindSourceState(m_srcId);
    if (!state || !m_panel->GetControl())
        return false;
    const std::wstring path = state->path;
    const VARTYPE previousType = state->GetSampleVarType();
    const uint32_t previousChannels = state->GetChannelCount();
    const VARTYPE type = SampleType(m_size->currentIndex(), m_format->currentIndex());
    const auto channels = uint32_t(m_channels->currentIndex() + 1);
    // A format the file cannot be shown in leaves the plotted file alone.
    std::wstring reason = m_panel->FileSourceProblem(path, type, channels);
    bool plotted = true;
    if (reason.empty()) {
        m_panel->GetControl()->RemoveChannelSource(m_srcId);
        if (AddFile(path, type, channels, &reason)) {
            FollowSource(path);
            return CPropertyPage::OnApply();
        }
        // The plot must not lose the file: it goes back as it was.
        plotted = AddFile(path, previousType, previousChannels, nullptr);
        if (plotted)
            FollowSource(path);
    }
    std::wstring text = L"Failed to plot the data file " + path + L" in the chosen format.";
    if (!reason.empty())
        text += L"\n\n" + reason;
    if (!plotted)
        text += L"\n\nThe file could not be plotted again as it was either and has left the plot.";
    vlt::ShowMessageBox(text, MB_ICONERROR, this);
    return false;
}

void CPlotSrcFormatPP::FollowSource(const std::wstring& path)
{
    for (const auto& [id, state] : m_panel->Sources())
        if (state.type == CFormView_Scope::kFileSource && state.path == path)
            m_srcId = id;
}
