#include "image/Picture.h"
