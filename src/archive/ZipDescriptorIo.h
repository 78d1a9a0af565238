#pragma once

#include <minizip/ioapi.h>

// minizip's stdio file functions over a descriptor the caller already holds, instead of a path
// minizip would open itself: a file found without following links stays the file used. The
// descriptor is duplicated on open; the caller keeps its own.
class ZipDescriptorIo {
public:
    explicit ZipDescriptorIo(int descriptor);
    ZipDescriptorIo(const ZipDescriptorIo&) = delete;
    ZipDescriptorIo& operator=(const ZipDescriptorIo&) = delete;

    zlib_filefunc64_def* functions() { return &functions_; }

private:
    static voidpf open(voidpf opaque, const void* filename, int mode);

    int descriptor_;
    zlib_filefunc64_def functions_{};
};
