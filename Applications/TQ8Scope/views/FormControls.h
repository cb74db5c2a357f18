#pragma once
// Small helpers of the forms' controls: wide text for Qt, and the template
// id a control carries as its object name.
#include <string>

#include <QString>

#include "TextConv.h"

inline QString ToQt(const std::wstring& text)
{
    return QString::fromStdString(vlt::WideToUtf8(text));
}

template <class T>
T* WithId(T* control, int id)
{
    control->setObjectName(QString::number(id));
    return control;
}
