#pragma once
// "General" page of the recorded-data details: where the data comes from
// (a file, or board memory and snapshots) and what its samples are.
#include <cstdint>
#include <string>

#include "CPropertyPage.h"
#include "TQ8_64.h"

class QLabel;
class QPlainTextEdit;

class CRecDataCtxStdPP : public CPropertyPage {
    Q_OBJECT
public:
    explicit CRecDataCtxStdPP(QWidget* parent = nullptr);

    // A record built by the caller (board memory or a snapshot).
    bool SetRecordedDataInfo(const TQ8_RECORDED_DATA_INFO& info);
    // The library's description of a sample file; false when it has none,
    // but what is known (notes, data length) is still taken.
    bool LoadFromFile(const std::wstring& path);
    bool OnInitDialog() override;

    const TQ8_RECORDED_DATA_INFO& GetInfo() const { return m_info; }
    uint64_t GetDataLength() const { return m_dataLength; }
    const std::wstring& GetNotes() const { return m_notes; }
    // The value shown beside a label ("sourceFile", "headerBytes",
    // "dataLength", "board", "rate", "range", "channel", "segment",
    // "channelCount", "sampleSize", "sampleFormat").
    QString Value(const char* name) const;

private:
    void Reset();
    QLabel* AddRow(class QGridLayout* grid, int row, const QString& label, const char* name, const QString& initial);
    void SetValue(const char* name, const std::wstring& text);
    void FillSource();
    void FillSamples();

    std::wstring m_path;
    std::wstring m_notes;
    uint64_t m_dataLength = 0;
    TQ8_RECORDED_DATA_INFO m_info{};
    QPlainTextEdit* m_notesEdit = nullptr;
};
