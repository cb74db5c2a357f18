#include <QApplication>

#include "CMainApp.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    CMainApp mainApp;
    mainApp.InitInstance();
    return app.exec();
}
