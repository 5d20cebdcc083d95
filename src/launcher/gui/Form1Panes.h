#pragma once

class ConnectionPane;
class IntakeLists;
class LocalPane;
class QWidget;
class RemotePane;
class ResponseLog;
class WaitPanel;

// The panes the main window is made of; each builds and owns its controls. The views the runs
// draw on hold this, not the window.
struct Form1Panes {
    QWidget* window = nullptr;
    WaitPanel* wait = nullptr;            // FRTRAIT
    ConnectionPane* connection = nullptr; // Frame3
    RemotePane* remote = nullptr;         // Frame2
    LocalPane* local = nullptr;           // Frame1
    ResponseLog* log = nullptr;           // Text1
    IntakeLists* intake = nullptr;        // Frame8
};
