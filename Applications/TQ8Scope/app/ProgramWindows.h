#pragma once
// Registers every window of the program with the core that opens it: the
// board window's panes and pages, the documents' tool windows, the main
// frame's dialogs and sheets, and the file dialogs. Called once at start-up,
// before the application object starts.
void RegisterProgramWindows();
