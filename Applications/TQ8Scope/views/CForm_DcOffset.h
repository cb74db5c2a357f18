#pragma once
// The "DC Offset" page: one slider per input channel (channels on the
// transformer path have none), a "..." button to type a value, and a
// command that copies one channel's offset to the other channels.
#include <array>
#include <string>

#include <QSize>

#include "CSettingFormView.h"

class CSettingSlider;
class QComboBox;

class CForm_DcOffset : public CSettingFormView {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 112;
    // The controls' template ids.
    enum ControlId : int {
        kSyncId = 1087,
        kSliderId = 1088,  // channel N: + N - 1
        kBrowseId = 1092,  // channel N: + N - 1
        kNoteId = 1288,
        kSyncSourceId = 1341,
        kCenterId = 1397,  // channel N: + N - 1
        kLabelId = 1408,  // channel N: + N - 1
    };
    static constexpr int kChannels = 4;
    static constexpr int kMaxOffset = 4095;

    explicit CForm_DcOffset(CMainDoc& doc, QWidget* parent = nullptr);
    ~CForm_DcOffset() override;

    static QSize GetTemplateSize();
    // DC offset does not apply to a channel on the transformer path.
    static bool UsesTransformerPath(uint32_t channelFlags) { return (channelFlags & 0x82u) == 0x82u; }

    void OnInitialUpdate() override;
    void Refresh();
    void OnDocumentUpdate(IDocView* sender, int hint, void* object) override;

    void OnSynchronizeAll();
    void OnCenter(int channel);

private:
    void CreateControls();
    int ChannelCount() const;
    bool IsTransformerChannel(int channel) const;
    void FillChannelList();
    void HideChannel(int channel);
    void StoreWorkspaceState();

    QComboBox* m_syncSource = nullptr;
    std::array<std::wstring, kChannels> m_words;
    std::array<std::wstring, kChannels> m_inputLabels;
    // Owned by their sliders.
    std::array<CSettingSlider*, kChannels> m_sliders{};
};
