// CMarkApp: the application object: the socket start-up check, then the main window run
// modally; the program ends when it closes.
#pragma once

class CMarkApp {
public:
    virtual ~CMarkApp() = default;

    // Runs the whole program; answers FALSE always, as the framework expects of a dialog
    // program that runs no message loop of its own.
    int InitInstance();

    // The process exit status: 0 after the main window closed, 1 when it could not be shown.
    int ExitCode() const { return m_ExitCode; }

private:
    int m_ExitCode = 0;
};
