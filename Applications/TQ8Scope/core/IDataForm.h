#pragma once
// What the board document asks of its data form before acquisitions and
// direct reads. The data form implements it.
class IDataForm {
public:
    virtual ~IDataForm() = default;

    // Applies the form's memory-region fields to the board; false when they
    // cannot be applied (the form has told the user why).
    virtual bool ApplyActiveMemoryRegion() = 0;
};
