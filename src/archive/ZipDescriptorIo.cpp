#include "archive/ZipDescriptorIo.h"

#include <cstdio>
#include <unistd.h>

ZipDescriptorIo::ZipDescriptorIo(int descriptor) : descriptor_(descriptor)
{
    fill_fopen64_filefunc(&functions_);
    functions_.zopen64_file = &ZipDescriptorIo::open;
    functions_.opaque = this;
}

voidpf ZipDescriptorIo::open(voidpf opaque, const void*, int mode)
{
    const int copy = ::dup(static_cast<ZipDescriptorIo*>(opaque)->descriptor_);
    if (copy < 0 || ::lseek(copy, 0, SEEK_SET) < 0) {
        if (copy >= 0)
            ::close(copy);
        return nullptr;
    }
    FILE* file = ::fdopen(copy, (mode & ZLIB_FILEFUNC_MODE_CREATE) != 0 ? "w+b" : "rb");
    if (!file)
        ::close(copy);
    return file;
}
