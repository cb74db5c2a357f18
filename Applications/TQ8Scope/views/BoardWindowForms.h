#pragma once
// Registers how a board window makes its plot view, its action pane, its
// control panel and the control-panel pages built so far. Called once at
// program start-up.
void RegisterBoardWindowForms();
