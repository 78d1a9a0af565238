#include "view/RemoteNameEncodings.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>

namespace {

using Encoding = TextCodec::Encoding;

const QByteArray utf8Line = "drwxr-xr-x 2 ftp ftp 4096 Mar 05 14:22 \xE4\xB8\xAD\xE6\x96\x87\r\n";
const QByteArray gbkLine = "drwxr-xr-x 2 ftp ftp 4096 Mar 05 14:22 \xD6\xD0\xCE\xC4\r\n";
const QByteArray asciiLine = "-rw-r--r-- 1 ftp ftp 12 Mar 05 14:22 readme.txt\r\n";

// The encoding an entry is sent in after the folders were listed in this order.
Encoding encodingOf(const char* entry, Encoding fallback,
                    std::initializer_list<std::pair<const char*, QByteArray>> listings)
{
    RemoteNameEncodings encodings;
    encodings.setFallback(fallback);
    for (const auto& [folder, listing] : listings)
        encodings.settleListing(QString::fromUtf8(folder), listing);
    return encodings.ofEntry(QString::fromUtf8(entry));
}

// How a listing of non-ASCII names decides is shown by the server scenarios; these are how the
// decisions combine along a path, and the folders that decide nothing themselves.
TEST(RemoteNameEncodings, AnEntryTakesTheEncodingItsFolderWasListedIn)
{
    EXPECT_EQ(encodingOf("/pub/x", Encoding::Utf8, {}), Encoding::Utf8);
    // An ASCII-only listing decides nothing: the nearest folder above that did decides.
    EXPECT_EQ(encodingOf("/pub/a/b/新", Encoding::Gbk,
                         {{"/", gbkLine}, {"/pub/", utf8Line}, {"/pub/a/b", asciiLine}}),
              Encoding::Utf8);
    EXPECT_EQ(encodingOf("/pub/新", Encoding::Gbk, {{"/pub", asciiLine}}), Encoding::Gbk);
    // A folder's own name was listed in its parent.
    EXPECT_EQ(encodingOf("/中文/", Encoding::Gbk, {{"/", utf8Line}, {"/中文", gbkLine}}),
              Encoding::Utf8);
    // The latest listing of a folder holds.
    EXPECT_EQ(encodingOf("/pub/x", Encoding::Gbk, {{"/pub", utf8Line}, {"/pub", gbkLine}}),
              Encoding::Gbk);
}

} // namespace
