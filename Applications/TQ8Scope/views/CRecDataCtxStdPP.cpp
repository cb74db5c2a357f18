#include "CRecDataCtxStdPP.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "Mnemonic.h"
#include "RecordedDataTexts.h"
#include "TextConv.h"
#include "ValueFormat.h"

namespace {

const QString kUnknown = QStringLiteral("<Unknown>");
const QString kUnspecified = QStringLiteral("<Unspecified>");

// Size of the file, 0 when it cannot be read.
uint64_t FileSize(const std::wstring& path)
{
    std::error_code error;
    const auto size = std::filesystem::file_size(std::filesystem::path(vlt::WideToUtf8(path)), error);
    return error ? 0 : uint64_t(size);
}

std::wstring Number(uint32_t value)
{
    return std::to_wstring(value);
}

} // namespace

CRecDataCtxStdPP::CRecDataCtxStdPP(QWidget* parent) : CPropertyPage(QStringLiteral("General"), parent)
{
    auto* source = new QGroupBox(QStringLiteral("Source of data"), this);
    auto* sourceGrid = new QGridLayout(source);
    AddRow(sourceGrid, 0, QStringLiteral("Source file:"), "sourceFile", QString())->setWordWrap(true);
    AddRow(sourceGrid, 1, QStringLiteral("Header bytes:"), "headerBytes", QString());
    AddRow(sourceGrid, 2, QStringLiteral("Data length:"), "dataLength", kUnknown);
    sourceGrid->setColumnStretch(1, 1);

    auto* samples = new QGroupBox(QStringLiteral("Data sample information"), this);
    auto* sampleGrid = new QGridLayout(samples);
    int row = 0;
    for (auto [label, name] : {std::pair{"Source board:", "board"}, {"Sampling rate:", "rate"},
                               {"Input volt range:", "range"}, {"Channel number:", "channel"},
                               {"Segment size:", "segment"}, {"Channel count:", "channelCount"},
                               {"Sample size:", "sampleSize"}, {"Sample format:", "sampleFormat"}})
        AddRow(sampleGrid, row++, QString::fromLatin1(label), name, kUnspecified);
    sampleGrid->setColumnStretch(1, 1);

    auto* notes = new QGroupBox(QStringLiteral("Operator notes"), this);
    auto* notesLayout = new QVBoxLayout(notes);
    m_notesEdit = new QPlainTextEdit(notes);
    m_notesEdit->setObjectName(QStringLiteral("notes"));
    notesLayout->addWidget(m_notesEdit);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(source);
    layout->addWidget(samples);
    layout->addWidget(notes, 1);
}

QLabel* CRecDataCtxStdPP::AddRow(QGridLayout* grid, int row, const QString& label, const char* name,
                                 const QString& initial)
{
    auto* caption = new QLabel(label, this);
    caption->setObjectName(QString::fromLatin1(name) + QStringLiteral("Label"));
    auto* value = new QLabel(initial, this);
    value->setObjectName(QString::fromLatin1(name));
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    vlt::SetNoPrefix(value); // a path or a name, shown as it is
    grid->addWidget(caption, row, 0);
    grid->addWidget(value, row, 1);
    return value;
}

QString CRecDataCtxStdPP::Value(const char* name) const
{
    auto* label = findChild<QLabel*>(QString::fromLatin1(name));
    return label ? label->text() : QString();
}

void CRecDataCtxStdPP::SetValue(const char* name, const std::wstring& text)
{
    if (auto* label = findChild<QLabel*>(QString::fromLatin1(name)))
        label->setText(QString::fromStdWString(text));
}

void CRecDataCtxStdPP::Reset()
{
    m_path.clear();
    m_notes.clear();
    m_dataLength = 0;
    m_info = TQ8_RECORDED_DATA_INFO{};
}

bool CRecDataCtxStdPP::SetRecordedDataInfo(const TQ8_RECORDED_DATA_INFO& info)
{
    Reset();
    m_info = info;
    return true;
}

bool CRecDataCtxStdPP::LoadFromFile(const std::wstring& path)
{
    Reset();
    m_path = path;
    m_info.size = sizeof m_info;
    wchar_t* notes = nullptr;
    const int32_t result = GetRecordedDataInfoWTQ8(path.c_str(), &m_info, &notes);
    if (notes) {
        m_notes = notes;
        FreeMemoryTQ8(notes);
    }
    // A header larger than the file leaves no data, not an endless count.
    const uint64_t size = FileSize(path);
    m_dataLength = size > m_info.headerBytes ? size - m_info.headerBytes : 0;
    return result == 0;
}

bool CRecDataCtxStdPP::OnInitDialog()
{
    FillSource();
    FillSamples();
    m_notesEdit->setPlainText(QString::fromStdWString(m_notes));
    return true;
}

void CRecDataCtxStdPP::FillSource()
{
    if (m_path.empty()) {
        findChild<QLabel*>(QStringLiteral("sourceFileLabel"))->setText(QStringLiteral("Source: "));
        SetValue("sourceFile", L"Board RAM or data snapshot");
        for (const char* name : {"headerBytes", "headerBytesLabel", "dataLength", "dataLengthLabel"})
            findChild<QLabel*>(QString::fromLatin1(name))->hide();
        return;
    }
    SetValue("sourceFile", m_path);
    SetValue("headerBytes", Number(m_info.headerBytes));
    if (m_dataLength != 0)
        SetValue("dataLength", FormatRecordedDataLength(m_dataLength, m_info.bytesPerSample, m_info.samplingRateMHz,
                                                         m_info.channelCount));
}

void CRecDataCtxStdPP::FillSamples()
{
    const std::wstring board = vlt::Utf8ToWide(RecordedBoardName(m_info));
    if (!board.empty())
        SetValue("board", m_info.serialNumber ? board + L" (SN:" + Number(m_info.serialNumber) + L")" : board);
    if (m_info.samplingRateMHz != 0)
        SetValue("rate", FormatRecordedRate(m_info.samplingRateMHz));
    if (m_info.inputRangeVpp != 0) {
        char text[64];
        std::snprintf(text, sizeof text, "%0.3f Vp-p", m_info.inputRangeVpp);
        SetValue("range", vlt::Utf8ToWide(text));
    }
    const bool multi = m_info.channelNumber == 0 || m_info.channelNumber == 0xFFFFFFFFu;
    SetValue("channel", multi ? std::wstring(L"Multi-channel") : Number(m_info.channelNumber));
    SetValue("channelCount", Number(m_info.channelCount));
    SetValue("sampleSize", FormatRecordedSampleSize(m_info.bytesPerSample, m_info.bitsPerSample));
    SetValue("sampleFormat", m_info.isSigned ? L"Signed" : L"Unsigned");
    SetValue("segment", m_info.segmentSize ? Number(m_info.segmentSize) + L" samples" : L"Non-segmented");
}
