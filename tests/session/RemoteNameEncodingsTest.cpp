#include "session/RemoteNameEncodings.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>

namespace {

using Encoding = TextCodec::Encoding;

QByteArray gbk(const char* utf8)
{
    return TextCodec::toGbk(QString::fromUtf8(utf8));
}

struct PathCase {
    const char* path;
    Encoding fallback;
    std::initializer_list<std::pair<const char*, QByteArray>> listed; // folder, name's bytes
    QByteArray bytes;
};

// Listed names go back as listed, whatever their neighbours; new names follow their folder.
TEST(RemoteNameEncodings, EveryNameGoesBackAsListedAndNewNamesFollowTheirFolder)
{
    const std::initializer_list<std::pair<const char*, QByteArray>> mixed = {
        {"/pub", "资料"}, {"/pub", gbk("中文")}, {"/pub", "readme"}};
    const PathCase cases[] = {
        {"/pub/资料/x", Encoding::Gbk, mixed, "/pub/资料/x"},
        {"/pub/中文/", Encoding::Gbk, mixed, "/pub/" + gbk("中文") + '/'},
        {"/pub/新", Encoding::Gbk, mixed, "/pub/新"},
        {"/pub/新", Encoding::Gbk, {{"/pub", gbk("中文")}}, "/pub/" + gbk("新")},
        {"/pub/a/b/新", Encoding::Gbk, {{"/pub", "资料"}, {"/pub/a", "x"}}, "/pub/a/b/新"},
        {"/pub/新", Encoding::Utf8, {{"/pub", gbk("中文")}}, "/pub/新"},
    };
    for (const PathCase& row : cases) {
        RemoteNameEncodings encodings;
        encodings.setFallback(row.fallback);
        for (const auto& [folder, bytes] : row.listed)
            encodings.noteName(QString::fromUtf8(folder), RemoteNameEncodings::decodeName(bytes),
                               TextCodec::isValidUtf8(bytes) ? Encoding::Utf8 : Encoding::Gbk);
        EXPECT_EQ(encodings.bytesOf(QString::fromUtf8(row.path)).toHex(), row.bytes.toHex())
            << row.path;
    }
}

} // namespace
