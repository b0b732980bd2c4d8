// CStream: the base implementation of the one non-pure operation.
#include "image/Stream.h"

bool CStream::PutC(uint8_t c)
{
    return Write(&c, 1, 1) == 1;
}
