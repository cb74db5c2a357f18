#pragma once
// A view of a board document: told of every update hint the document sends
// (dochint::...), with the sending view (or null) and the hint's object.
class IDocView {
public:
    virtual ~IDocView() = default;
    virtual void OnDocumentUpdate(IDocView* sender, int hint, void* object) = 0;
};
