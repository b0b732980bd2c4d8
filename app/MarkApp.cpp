// CMarkApp: start-up and the main window's modal run.
#include "app/MarkApp.h"

#include "app/MainDlg.h"
#include "platform/WindowSystem.h"

namespace {

constexpr unsigned kSocketVersion = 0x0101;

// POSIX sockets need no start-up: the library answers the version asked for.
unsigned StartSocketLibrary(unsigned requested)
{
    return requested;
}

}  // namespace

int CMarkApp::InitInstance()
{
    if (StartSocketLibrary(kSocketVersion) != kSocketVersion)
        return FALSE;
    // Control hosting and the three-dimensional look need no set-up here: the web control is
    // a native child and every control draws its own face.
    WindowSystem* system = WindowSystem::CurrentOrNull();
    if (!system) {
        m_ExitCode = 1;
        return FALSE;
    }
    {
        CMainDlg dialog(nullptr);
        system->SetMainWindow(&dialog);
        intptr_t result = dialog.DoModal();
        system->SetMainWindow(nullptr);
        m_ExitCode = result == -1 ? 1 : 0;
    }
    return FALSE;
}
