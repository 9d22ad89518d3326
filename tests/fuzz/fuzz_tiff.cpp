// Feeds arbitrary bytes that start as a TIFF file does to its reader (see FuzzPicture.h).
#include "FuzzPicture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    return FuzzPicture::run(data, size, "II", 2);
}
