#pragma once
// The modal sheet "Program Options" with its one page "General": OK and
// Apply put the page's boxes into the options and change the start at log-on
// of programPath, Cancel leaves them alone.
#include <string>

#include <QDialog>

class CProgOptPP_Gen;
class CProgramOptions;
class QPushButton;

class CProgOptSheet : public QDialog {
    Q_OBJECT
public:
    CProgOptSheet(CProgramOptions& options, std::string programPath, QWidget* parent = nullptr);

    CProgOptPP_Gen* Page() const { return m_page; }
    QPushButton* ApplyButton() const { return m_apply; }

    void accept() override;

private:
    CProgOptPP_Gen* m_page;
    QPushButton* m_apply;
};
