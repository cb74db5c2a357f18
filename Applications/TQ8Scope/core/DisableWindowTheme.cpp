#include "DisableWindowTheme.h"

#include <QStyle>
#include <QStyleFactory>
#include <QWidget>

HRESULT DisableWindowTheme(QWidget* window)
{
    if (!window)
        return E_INVALIDARG;
    static QStyle* const classic = QStyleFactory::create(QStringLiteral("Windows"));
    if (!classic)
        return 0;
    window->setStyle(classic);
    return S_OK;
}
