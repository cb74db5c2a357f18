#pragma once
// The tabbed control panel of a board window as the child frame fills it.
// The control panel implements it beside its tab widget.
#include <functional>
#include <string>

class IBoardDocument;
class QWidget;

class IControlPanel {
public:
    // Makes a page for a document; null when it cannot be made.
    using PageFactory = std::function<QWidget*(IBoardDocument& doc)>;

    virtual ~IControlPanel() = default;

    // Inserts a tab with a page made by the factory; the tab's index, or -1
    // (and no tab left) when the page cannot be made.
    virtual int AddPage(int index, const std::wstring& caption, const PageFactory& factory, IBoardDocument& doc) = 0;
    // Shows the tab's page; its index, or -1 when there is no such tab.
    virtual int SelectPage(int index) = 0;
};
