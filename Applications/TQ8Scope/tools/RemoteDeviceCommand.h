#pragma once
// The main frame's "New Remote TQ3300 Device..." command.
class CMainApp;
class QWidget;

// Runs the connect dialog, connects all boards of the server or the one
// chosen, opens a document for each and remembers the server when at least
// one board connected.
void ConnectRemoteBoards(QWidget* owner, CMainApp& app);
// Hands the command to the main frame; called once at program start-up.
void RegisterRemoteDeviceCommand();
