#pragma once
// "Display Format" page of a plotted file's details: how the scope panel
// reads the file's samples. Applying plots the file again in that format.
#include <cstdint>
#include <string>

#include "CPropertyPage.h"
#include "Variant.h"

class CFormView_Scope;
class QComboBox;

class CPlotSrcFormatPP : public CPropertyPage {
    Q_OBJECT
public:
    explicit CPlotSrcFormatPP(QWidget* parent = nullptr);

    // false when the panel has no such source or its sample type is not
    // 8- or 16-bit.
    bool AttachSource(CFormView_Scope* panel, uint32_t srcId);
    bool OnApply() override;

    QComboBox* SampleSizeCombo() const { return m_size; }
    QComboBox* SampleFormatCombo() const { return m_format; }
    QComboBox* ChannelCountCombo() const { return m_channels; }
    // The sample type of the indexes.
    static VARTYPE SampleType(int sizeIndex, int formatIndex);

protected:
    // Plots the file on the panel (false with the reason, which may be null);
    // the tests make it fail.
    virtual bool AddFile(const std::wstring& path, VARTYPE type, uint32_t channels, std::wstring* reason);

private:
    // The newest source of the file: its id changes with every re-add.
    void FollowSource(const std::wstring& path);

    CFormView_Scope* m_panel = nullptr;
    uint32_t m_srcId = 0xFFFFFFFF;
    QComboBox* m_size;
    QComboBox* m_format;
    QComboBox* m_channels;
};
