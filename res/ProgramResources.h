// Puts every resource of the program (dialog templates, skin bitmaps, the icon) into a table.
#pragma once

class ResourceTable;

void AddProgramResources(ResourceTable& table);
