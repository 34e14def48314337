#include "modeldata/FieldReader.h"

namespace torvik {

bool FieldReader::fits(uint64_t count, uint64_t minBytes)
{
    if (!ok_)
        return false;
    if (count == 0 || minBytes == 0 || count <= source_.remaining() / minBytes)
        return true;
    return stop();
}

} // namespace torvik
