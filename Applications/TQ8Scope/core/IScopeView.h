#pragma once
// What the forms ask of a board's plot view (the view registered with
// CMainDoc::SetScopeView). The plot view implements it.
class IScopeView {
public:
    virtual ~IScopeView() = default;

    // Empties the plot; the view tells the document (plot cleared).
    virtual void ClearPlot() = 0;
};
