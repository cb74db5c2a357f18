#pragma once
// The service host's icons, drawn here: the program's own, and the
// notification icons for services stopped and running.
#include <QIcon>

QIcon ProgramIcon();
QIcon ServicesStoppedIcon();
QIcon ServicesRunningIcon();
