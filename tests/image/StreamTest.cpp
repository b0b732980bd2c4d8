#include "tests/TestData.h"
