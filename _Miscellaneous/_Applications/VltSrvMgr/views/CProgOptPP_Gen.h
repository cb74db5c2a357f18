#pragma once
// The page "General" of the program options: one check box per option bit.
// The boxes start from the options when the page is made; the options take
// the boxes' values only when the sheet applies, and are saved then.
#include <QWidget>

class CProgramOptions;
class QCheckBox;

class CProgOptPP_Gen : public QWidget {
    Q_OBJECT
public:
    static constexpr int IDD = 103;

    explicit CProgOptPP_Gen(CProgramOptions& options, QWidget* parent = nullptr);

    // The boxes' values into the option bits, which are saved then.
    void OnApply();
    bool IsModified() const { return m_modified; }
    void SetModified(bool modified);
    QCheckBox* Box(int controlId) const;

signals:
    void modifiedChanged(bool modified);

private:
    QCheckBox* AddBox(int controlId, uint32_t bit, const QString& text);
    void OnBoxClicked(int controlId);

    CProgramOptions& m_options;
    QCheckBox* m_runAtLogOn;
    QCheckBox* m_autoStart;
    QCheckBox* m_minimizeToTray;
    QCheckBox* m_allowShutdown;
    bool m_modified = false;
    bool m_restartWarningShown = false;
};
