#pragma once
// The main frame's "New Remote TQ3300 Device..." command.
#include <cstdint>
#include <vector>

class CMainApp;
class CVltHub6Mgr;
class QWidget;

// Runs the connect dialog, connects all boards of the server or the one
// chosen, opens a document for each and remembers the server when at least
// one board connected.
void ConnectRemoteBoards(QWidget* owner, CMainApp& app);
// The sync-device manager window's remote connect: the same for the sync
// devices of a server; the new instance ids.
std::vector<int32_t> ConnectRemoteSyncDevices(QWidget* owner, CVltHub6Mgr& manager);
// Hands the board command to the main frame; called once at program start-up.
void RegisterRemoteDeviceCommand();
