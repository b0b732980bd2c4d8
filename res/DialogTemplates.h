// The program's dialog templates (main window and set-up dialogs), built as data in dialog units.
#pragma once

#include "platform/DialogTemplate.h"

#include <vector>

struct ProgramDialog {
    int id = 0;
    DialogTemplate dialog;
};

// Templates 102 and 130 to 135.
std::vector<ProgramDialog> ProgramDialogTemplates();
