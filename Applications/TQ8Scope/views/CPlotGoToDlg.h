#pragma once
// "Go To Sample or Segment in Plot": a modeless window of a board window
// that moves the board's plot to a sample or a segment of segmented data
// and walks from segment to segment. Close only hides it.
#include <cstdint>
#include <optional>

#include <QDialog>
#include <QPointer>

#include "TQ8_64.h"

class CScopeView;
class QComboBox;
class QLineEdit;
struct IScopeTQ8;

class CPlotGoToDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 157;
    // The controls' template ids.
    enum ControlId : int {
        kCloseId = 1107,
        kPositionId = 1330,
        kUnitId = 1331,
        kGoId = 1332,
        kPreviousId = 1333,
        kZoomId = 1334,
        kNextId = 1336,
        kExtraLabelId = 1337,
        kExtraId = 1338,
    };

    CPlotGoToDlg(QWidget* parent, TQ8_HANDLE device, CScopeView* view);

    // Makes the window's controls; false when that fails.
    bool Create();

    // Brings the position onto the page (centred when it is off the page or
    // at its first sample) and marks it as the selection.
    void GoToSample(uint64_t position, bool focusPlot);
    void OnGo();
    void OnZoomToSegment();
    void OnNextSegment();
    void OnPreviousSegment();
    void OnUnitChanged(int unit);
    void OnExtraOffsetChanged(const QString& text);
    // Reads the plot's segment size again and enables the segment controls.
    void OnActivate();

    uint32_t GetSegmentSize() const { return m_segmentSize; }
    int32_t GetUnit() const { return m_unit; }
    int32_t GetExtraOffset() const { return m_extraOffset; }
    TQ8_HANDLE GetDeviceHandle() const { return m_device; }

    // The segment walk, without the window: the segment start before or
    // after position (0 stays 0), and a start moved by an extra offset
    // (floored at 0). Nothing when the result does not fit in 64 bits.
    static std::optional<uint64_t> NextSegmentStart(uint64_t position, uint32_t segmentSize);
    static uint64_t PreviousSegmentStart(uint64_t position, uint32_t segmentSize);
    static std::optional<uint64_t> WithExtraOffset(uint64_t start, int32_t extra);

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // The position in samples; nothing (after a box) when it is not valid.
    std::optional<uint64_t> ReadPosition();
    void StepToSegment(uint64_t start);
    void ShowPosition(uint64_t samples);
    void EnableSegmentControls(bool on);
    IScopeTQ8* Control() const;

    QPointer<CScopeView> m_view;
    TQ8_HANDLE m_device;
    uint32_t m_segmentSize = 0;
    int32_t m_unit = 0;
    int32_t m_extraOffset = 0;
    QLineEdit* m_position = nullptr;
    QComboBox* m_units = nullptr;
    QLineEdit* m_extra = nullptr;
};
