#pragma once
// "Advanced" page of the recorded-data details: every element of the
// recording's context file with its value.
#include <string>

#include "CPropertyPage.h"
#include "TQ8_64.h"

class QLabel;
class QTreeWidget;

class CRecDataCtxAdvPP : public CPropertyPage {
    Q_OBJECT
public:
    explicit CRecDataCtxAdvPP(QWidget* parent = nullptr);
    // Closes the context file.
    ~CRecDataCtxAdvPP() override;

    // Opens the context file of a data file (or the context file itself).
    bool OpenContextFile(const std::wstring& path);
    bool OnInitDialog() override;

    QTreeWidget* ElementList() const { return m_list; }
    bool IsOpen() const { return m_vrdc != nullptr; }

private:
    void FillElements();

    QLabel* m_source;
    QTreeWidget* m_list;
    TQ8_VRDC_HANDLE m_vrdc = nullptr;
    std::wstring m_path;
};
