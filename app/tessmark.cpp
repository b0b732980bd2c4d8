// The desktop program: the GTK back end under the window system, the program's resources and
// the application object.
#include "app/MarkApp.h"
#include "platform/WindowSystem.h"
#include "platform/gtk/GtkBackend.h"
#include "res/ProgramResources.h"

#include <cstdio>
#include <memory>

int main()
{
    std::unique_ptr<GtkBackend> backend = GtkBackend::Create();
    if (!backend) {
        fprintf(stderr, "tessmark: cannot open a display (is DISPLAY set?); tessmark-batch runs a job without one\n");
        return 1;
    }
    WindowSystem system(std::move(backend));
    AddProgramResources(system.Resources());
    CMarkApp app;
    app.InitInstance();
    return app.ExitCode();
}
