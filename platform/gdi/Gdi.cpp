#include "platform/Win32Types.h"
