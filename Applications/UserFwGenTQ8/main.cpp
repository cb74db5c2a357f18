#include <QApplication>

#include "CMainApp.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    CMainApp mainApp;
    if (!mainApp.InitInstance())
        return 0;
    return app.exec();
}
