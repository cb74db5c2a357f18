#pragma once
// The generator's main window: menu bar, status bar (message, then the
// Caps Lock, Num Lock and Scroll Lock indicators), the keys of the Edit and
// pane commands, and the one form. Its title is fixed: the scope application
// finds a running generator by it.
#include <QMainWindow>

class CMainView;

extern const wchar_t* const kGeneratorTitle;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(QWidget* parent = nullptr);

    CMainView* View() const { return m_view; }

signals:
    void aboutRequested();

private:
    void CreateMenus();

    CMainView* m_view;
};
