#pragma once
// The page "General" of the program options: one check box per option bit.
// The boxes start from the options when the page is made; the options take
// the boxes' values only when the sheet applies, and are saved then. The
// start at log-on is changed then too (the entry of programPath); when that
// fails the user is told why and the box and bit 0x1 keep what is true.
#include <string>

#include <QWidget>

class CProgramOptions;
class QCheckBox;

class CProgOptPP_Gen : public QWidget {
    Q_OBJECT
public:
    static constexpr int IDD = 103;

    CProgOptPP_Gen(CProgramOptions& options, std::string programPath, QWidget* parent = nullptr);

    // The boxes' values into the option bits and the log-on entry; the bits
    // are saved then.
    void OnApply();
    bool IsModified() const { return m_modified; }
    void SetModified(bool modified);
    QCheckBox* Box(int controlId) const;

signals:
    void modifiedChanged(bool modified);

private:
    QCheckBox* AddBox(int controlId, uint32_t bit, const QString& text);
    void OnBoxClicked(int controlId);
    // The log-on entry after bit 0x1 was flagsBefore's; a failure is shown
    // and the bit and its box are set back.
    void ApplyRunAtLogOn(uint32_t flagsBefore);

    CProgramOptions& m_options;
    std::string m_programPath;
    QCheckBox* m_runAtLogOn;
    QCheckBox* m_autoStart;
    QCheckBox* m_minimizeToTray;
    QCheckBox* m_allowShutdown;
    bool m_modified = false;
    bool m_restartWarningShown = false;
};
