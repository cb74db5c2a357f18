#pragma once
// One QApplication for the shared widgets' test program, on the offscreen
// platform unless the environment names another.
#include <cstdlib>

#include <QApplication>

inline QApplication& SharedTestApp()
{
    static QApplication* app = [] {
        if (!std::getenv("QT_QPA_PLATFORM"))
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char arg0[] = "vlt_shared_ui_tests";
        static char* argv[] = {arg0, nullptr};
        return new QApplication(argc, argv);
    }();
    return *app;
}
