#include "CForm_DcOffset.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

#include "CMainDoc.h"
#include "CSettingSlider.h"
#include "CWaitCursor.h"
#include "DcOffsetTables.h"
#include "ErrorBeep.h"
#include "ErrorBox.h"

namespace {

constexpr int kPageSize = 256;
constexpr int32_t kDefaultOffset = 2048;

} // namespace

CForm_DcOffset::CForm_DcOffset(CMainDoc& doc, QWidget* parent) : CSettingFormView(kTemplateId, doc, parent)
{
    for (int ch = 0; ch < kChannels; ++ch) {
        m_words[size_t(ch)] = L"channel " + std::to_wstring(ch + 1) + L" DC offset";
        m_inputLabels[size_t(ch)] = L"Ch. &" + std::to_wstring(ch + 1) + L" DC offset";
    }
    CreateControls();
}

CForm_DcOffset::~CForm_DcOffset() = default;

QSize CForm_DcOffset::GetTemplateSize()
{
    return {520, 230};
}

void CForm_DcOffset::CreateControls()
{
    auto* grid = new QGridLayout(this);
    for (int ch = 0; ch < kChannels; ++ch) {
        auto* slider = AddItem(new QSlider(Qt::Horizontal, this), kSliderId + ch);
        slider->setRange(0, kMaxOffset);
        slider->setPageStep(kPageSize);
        slider->setMinimumWidth(200);
        auto* label = AddItem(new QLabel(QStringLiteral("Channel &%1:").arg(ch + 1), this), kLabelId + ch);
        label->setBuddy(slider);
        auto* browse = AddItem(new QPushButton(QStringLiteral("..."), this), kBrowseId + ch);
        browse->setMaximumWidth(32);
        // Centring is kept for the firmware that supports it; never shown.
        auto* center = AddItem(new QPushButton(QStringLiteral("Center Ch. %1").arg(ch + 1), this), kCenterId + ch);
        center->hide();
        grid->addWidget(label, ch, 0);
        grid->addWidget(slider, ch, 1);
        grid->addWidget(browse, ch, 2);
        grid->addWidget(center, ch, 3);
        const size_t i = size_t(ch);
        m_sliders[i] = new CSettingSlider(*this, slider, browse,
                                          {kGetDcOffsetFuncs[i], kSetDcOffsetFuncs[i], m_words[i].c_str(),
                                           L"Select DC Offset", m_inputLabels[i].c_str(), kDefaultOffset, true});
        connect(center, &QPushButton::clicked, this, [this, ch] { OnCenter(ch); });
    }
    auto* sync = AddItem(new QPushButton(QStringLiteral("Synchronize All DC Offsets To:"), this), kSyncId);
    m_syncSource = AddItem(new QComboBox(this), kSyncSourceId);
    grid->addWidget(sync, kChannels, 0, 1, 2, Qt::AlignRight);
    grid->addWidget(m_syncSource, kChannels, 2, 1, 2);
    auto* note = AddItem(new QLabel(QStringLiteral("One or more input channels are configured to use the transformer "
                                                   "analog path. DC offset is not applicable to these channels."),
                                    this),
                         kNoteId);
    note->setWordWrap(true);
    note->hide();
    grid->addWidget(note, kChannels + 1, 0, 1, 4);
    grid->setRowStretch(kChannels + 2, 1);
    grid->setColumnStretch(1, 1);
    connect(sync, &QPushButton::clicked, this, &CForm_DcOffset::OnSynchronizeAll);
}

int CForm_DcOffset::ChannelCount() const
{
    return GetDocument().IsTwoChannelModel() ? 2 : kChannels;
}

bool CForm_DcOffset::IsTransformerChannel(int channel) const
{
    return UsesTransformerPath(GetInputChannelFlagsTQ8(GetDeviceHandle(), channel));
}

void CForm_DcOffset::OnInitialUpdate()
{
    CSettingFormView::OnInitialUpdate();
    FillChannelList();
    m_syncSource->setCurrentIndex(m_syncSource->count() > 0 ? 0 : -1);
    for (int ch = ChannelCount(); ch < kChannels; ++ch)
        HideChannel(ch);
    for (int ch = 0; ch < ChannelCount(); ++ch) {
        if (IsTransformerChannel(ch)) {
            HideChannel(ch);
            Item(kNoteId)->show();
        }
    }
    Refresh();
}

void CForm_DcOffset::FillChannelList()
{
    m_syncSource->clear();
    for (int ch = 0; ch < ChannelCount(); ++ch)
        if (!IsTransformerChannel(ch))
            m_syncSource->addItem(QStringLiteral("Channel %1").arg(ch + 1), ch);
}

void CForm_DcOffset::HideChannel(int channel)
{
    for (int id : {kLabelId, kSliderId, kBrowseId, kCenterId}) {
        Item(id + channel)->setEnabled(false);
        Item(id + channel)->hide();
    }
}

void CForm_DcOffset::Refresh()
{
    RefreshScope refreshing(*this);
    for (CSettingSlider* slider : m_sliders)
        slider->Refresh();
}

void CForm_DcOffset::OnSynchronizeAll()
{
    const QVariant source = m_syncSource->currentData();
    if (m_syncSource->currentIndex() < 0 || !source.isValid()) {
        vlt::ErrorBeep();
        return;
    }
    const int from = source.toInt();
    const int32_t offset = kGetDcOffsetFuncs[size_t(from)](GetDeviceHandle(), 1);
    // Hidden channels too, so the board holds one offset on every channel.
    for (int ch = 0; ch < kChannels; ++ch) {
        if (ch == from)
            continue;
        CSettingSlider* slider = m_sliders[size_t(ch)];
        slider->Slider()->setValue(offset);
        slider->OnEndScroll();
    }
}

void CForm_DcOffset::OnCenter(int channel)
{
    const std::wstring number = std::to_wstring(channel + 1);
    int32_t result = 0;
    {
        CWaitCursor wait;
        result = CenterSignalTQ8(GetDeviceHandle(), 0, 128);
    }
    const std::wstring prefix = L"Failed to center channel " + number + L" signal: ";
    if (!CheckResult(result, prefix.c_str(), true))
        return;
    {
        RefreshScope refreshing(*this);
        m_sliders[size_t(channel)]->Refresh();
    }
    ShowStatus(L"Channel " + number + L" centered");
}

void CForm_DcOffset::OnDocumentUpdate(IDocView*, int hint, void* object)
{
    switch (hint) {
    case dochint::kAcquisitionState:
        for (int ch = 0; ch < kChannels; ++ch)
            Item(kCenterId + ch)->setEnabled(object == nullptr);
        break;
    case dochint::kBoardSettings: Refresh(); break;
    case dochint::kBeforeWorkspaceSave: StoreWorkspaceState(); break;
    case dochint::kAfterWorkspaceLoad: {
        // A file may name a channel this board does not list.
        const int32_t stored = GetDocument().GetWsData().DcOffsetSyncIdx;
        if (stored >= 0 && stored < m_syncSource->count())
            m_syncSource->setCurrentIndex(stored);
        break;
    }
    default: break;
    }
}

void CForm_DcOffset::StoreWorkspaceState()
{
    int32_t& stored = GetDocument().GetWsData().DcOffsetSyncIdx;
    if (stored == m_syncSource->currentIndex())
        return;
    stored = m_syncSource->currentIndex();
    SetModified();
}
