#include "CPlotGoToDlg.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "CScopeView.h"
#include "DialogItems.h"
#include "ErrorBox.h"
#include "FormControls.h"
#include "MessageBox.h"

namespace {

constexpr wchar_t kNoSegmentText[] = L"Segment size is not currently defined";

} // namespace

CPlotGoToDlg::CPlotGoToDlg(QWidget* parent, TQ8_HANDLE device, CScopeView* view)
    : QDialog(parent), m_view(view), m_device(device)
{
    setWindowTitle(QStringLiteral("Go To Sample or Segment in Plot"));
    setModal(false);
}

bool CPlotGoToDlg::Create()
{
    auto* grid = new QGridLayout(this);
    m_position = WithId(new QLineEdit(this), kPositionId);
    m_units = WithId(new QComboBox(this), kUnitId);
    m_units->addItems({QStringLiteral("sample"), QStringLiteral("segment")});
    auto* go = WithId(new QPushButton(QStringLiteral("Go"), this), kGoId);
    go->setDefault(true);
    auto* previous = WithId(new QPushButton(QStringLiteral("<< &Previous Seg."), this), kPreviousId);
    auto* zoom = WithId(new QPushButton(QStringLiteral("&Zoom to Seg."), this), kZoomId);
    auto* next = WithId(new QPushButton(QStringLiteral("&Next Seg. >>"), this), kNextId);
    auto* extraLabel =
        WithId(new QLabel(QStringLiteral("Extra sample offset for segment navigation:"), this), kExtraLabelId);
    m_extra = WithId(new QLineEdit(this), kExtraId);
    auto* close = WithId(new QPushButton(QStringLiteral("Close"), this), kCloseId);
    grid->addWidget(m_position, 0, 0);
    grid->addWidget(m_units, 0, 1);
    grid->addWidget(go, 0, 2);
    grid->addWidget(previous, 1, 0);
    grid->addWidget(zoom, 1, 1);
    grid->addWidget(next, 1, 2);
    grid->addWidget(extraLabel, 2, 0, 1, 2);
    grid->addWidget(m_extra, 2, 2);
    grid->addWidget(new QLabel(QStringLiteral("Prefix hexadecimal input with '0x'"), this), 3, 0, 1, 2);
    grid->addWidget(close, 3, 2);

    m_units->setCurrentIndex(m_unit);
    m_position->setText(QStringLiteral("0"));
    m_extra->setText(QString::number(m_extraOffset));
    connect(m_units, &QComboBox::currentIndexChanged, this, &CPlotGoToDlg::OnUnitChanged);
    connect(m_extra, &QLineEdit::textChanged, this, &CPlotGoToDlg::OnExtraOffsetChanged);
    connect(go, &QPushButton::clicked, this, &CPlotGoToDlg::OnGo);
    connect(zoom, &QPushButton::clicked, this, &CPlotGoToDlg::OnZoomToSegment);
    connect(next, &QPushButton::clicked, this, &CPlotGoToDlg::OnNextSegment);
    connect(previous, &QPushButton::clicked, this, &CPlotGoToDlg::OnPreviousSegment);
    connect(close, &QPushButton::clicked, this, &QWidget::hide);
    EnableSegmentControls(false);
    return true;
}

IScopeTQ8* CPlotGoToDlg::Control() const
{
    return m_view ? m_view->GetControl() : nullptr;
}

bool CPlotGoToDlg::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate)
        OnActivate();
    return QDialog::event(event);
}

void CPlotGoToDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    OnActivate();
}

void CPlotGoToDlg::OnActivate()
{
    m_segmentSize = 0;
    if (IScopeTQ8* control = Control())
        if (FAILED(control->get_SegmentSize(&m_segmentSize)))
            m_segmentSize = 0;
    EnableSegmentControls(Control() && m_segmentSize != 0);
}

void CPlotGoToDlg::EnableSegmentControls(bool on)
{
    for (int id : {kPreviousId, kNextId, kZoomId, kExtraLabelId, kExtraId})
        if (auto* item = findChild<QWidget*>(QString::number(id)))
            item->setEnabled(on);
}

std::optional<uint64_t> CPlotGoToDlg::ReadPosition()
{
    uint64_t number = 0;
    if (!GetDlgItemUInt64(m_position, number)) {
        ShowInvalidNumberMessage(L"sample or segment count", m_position);
        return std::nullopt;
    }
    if (m_unit == 0)
        return number;
    if (m_segmentSize == 0) {
        vlt::ShowMessageBox(kNoSegmentText, MB_ICONERROR, this);
        return std::nullopt;
    }
    uint64_t position = 0;
    // A segment number beyond the last addressable sample is no position.
    if (__builtin_mul_overflow(number, uint64_t(m_segmentSize), &position)) {
        ShowInvalidNumberMessage(L"sample or segment count", m_position);
        return std::nullopt;
    }
    return position;
}

void CPlotGoToDlg::OnUnitChanged(int unit)
{
    if (unit == m_unit || unit < 0)
        return;
    m_unit = unit;
    uint64_t number = 0;
    const bool haveNumber = GetDlgItemUInt64(m_position, number);
    if (unit == 1 && m_segmentSize == 0)
        vlt::ShowMessageBox(kNoSegmentText, MB_ICONWARNING, this);
    if (!haveNumber)
        return;
    if (m_segmentSize == 0) {
        m_position->clear();
        return;
    }
    uint64_t converted = number / m_segmentSize;
    if (unit == 0 && __builtin_mul_overflow(number, uint64_t(m_segmentSize), &converted)) {
        m_position->clear();
        return;
    }
    m_position->setText(QString::number(converted));
}

void CPlotGoToDlg::OnExtraOffsetChanged(const QString& text)
{
    int32_t value = 0;
    m_extraOffset = ParseDlgInt32(text.trimmed().toStdWString(), value) ? value : 0;
}

void CPlotGoToDlg::GoToSample(uint64_t position, bool focusPlot)
{
    IScopeTQ8* control = Control();
    if (!control)
        return;
    uint64_t start = 0;
    uint32_t width = 0;
    control->get_StartSample(&start);
    control->get_PageWidth(&width);
    const uint64_t half = width / 2;
    if (position <= start || position - start >= width)
        control->put_StartSample(position < half ? 0 : position - half);
    control->SetSelection(position, position);
    if (focusPlot && m_view)
        m_view->setFocus(Qt::OtherFocusReason);
}

void CPlotGoToDlg::OnGo()
{
    if (const std::optional<uint64_t> position = ReadPosition())
        GoToSample(*position, false);
}

void CPlotGoToDlg::OnZoomToSegment()
{
    IScopeTQ8* control = Control();
    if (m_segmentSize == 0 || !control)
        return;
    const std::optional<uint64_t> position = ReadPosition();
    if (!position)
        return;
    control->put_StartSample(*position - *position % m_segmentSize);
    control->put_PageWidth(m_segmentSize);
}

std::optional<uint64_t> CPlotGoToDlg::NextSegmentStart(uint64_t position, uint32_t segmentSize)
{
    uint64_t next = 0;
    if (segmentSize == 0 || __builtin_add_overflow(position - position % segmentSize, uint64_t(segmentSize), &next))
        return std::nullopt;
    return next;
}

uint64_t CPlotGoToDlg::PreviousSegmentStart(uint64_t position, uint32_t segmentSize)
{
    if (segmentSize == 0)
        return position;
    if (position % segmentSize != 0)
        return position - position % segmentSize;
    return position == 0 ? 0 : position - segmentSize;
}

std::optional<uint64_t> CPlotGoToDlg::WithExtraOffset(uint64_t start, int32_t extra)
{
    if (extra < 0) {
        const uint64_t back = uint64_t(-int64_t(extra));
        return back > start ? 0 : start - back;
    }
    uint64_t target = 0;
    if (__builtin_add_overflow(start, uint64_t(extra), &target))
        return std::nullopt;
    return target;
}

void CPlotGoToDlg::OnNextSegment()
{
    if (m_segmentSize == 0)
        return;
    const std::optional<uint64_t> position = ReadPosition();
    if (!position)
        return;
    const std::optional<uint64_t> next = NextSegmentStart(*position, m_segmentSize);
    if (!next) {
        ShowInvalidNumberMessage(L"sample or segment count", m_position);
        return;
    }
    StepToSegment(*next);
}

void CPlotGoToDlg::OnPreviousSegment()
{
    if (m_segmentSize == 0)
        return;
    if (const std::optional<uint64_t> position = ReadPosition())
        StepToSegment(PreviousSegmentStart(*position, m_segmentSize));
}

void CPlotGoToDlg::StepToSegment(uint64_t start)
{
    IScopeTQ8* control = Control();
    if (!control)
        return;
    const std::optional<uint64_t> target = WithExtraOffset(start, m_extraOffset);
    if (!target) {
        ShowInvalidNumberMessage(L"sample or segment count", m_position);
        return;
    }
    if (SUCCEEDED(control->put_StartSample(*target)))
        ShowPosition(start);
}

void CPlotGoToDlg::ShowPosition(uint64_t samples)
{
    m_position->setText(QString::number(m_unit == 0 ? samples : samples / m_segmentSize));
}
