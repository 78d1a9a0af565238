#include "archived/ZipExtractor.h"

#include "support/NamedCases.h"
#include "support/TemporaryFolder.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <minizip/zip.h>
#include <zlib.h>

#include <vector>

namespace {

using namedcases::caseName;

// An archive of entries whose headers declare declaredBytes each for data that really inflates
// to actualBytes of zeros: what a zip bomb or a lying archive looks like.
bool writeArchive(const QString& path, int entries, quint64 declaredBytes, int actualBytes)
{
    const std::vector<Bytef> data(static_cast<size_t>(actualBytes), 0);
    std::vector<Bytef> packed(compressBound(static_cast<uLong>(actualBytes)) + 64);
    z_stream stream{};
    if (deflateInit2(&stream, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    stream.next_in = const_cast<Bytef*>(data.data());
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = packed.data();
    stream.avail_out = static_cast<uInt>(packed.size());
    const bool deflated = deflate(&stream, Z_FINISH) == Z_STREAM_END;
    deflateEnd(&stream);
    zipFile zip = zipOpen64(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
    bool written = deflated && zip != nullptr;
    for (int entry = 0; written && entry < entries; ++entry) {
        const QByteArray name = "bomb" + QByteArray::number(entry) + ".bin";
        zip_fileinfo info{};
        written =
            zipOpenNewFileInZip2(zip, name.constData(), &info, nullptr, 0, nullptr, 0, nullptr,
                                 Z_DEFLATED, 9, 1) == ZIP_OK &&
            zipWriteInFileInZip(zip, packed.data(), static_cast<unsigned>(stream.total_out)) ==
                ZIP_OK &&
            zipCloseFileInZipRaw(zip, static_cast<uLong>(declaredBytes),
                                 crc32(0, data.data(), static_cast<uInt>(data.size()))) == ZIP_OK;
    }
    return zipClose(zip, nullptr) == ZIP_OK && written;
}

struct BombCase {
    const char* name;
    int entries;
    quint64 declaredBytes;
    int actualBytes;
    bool extracted;
};

class ZipBombTest : public ::testing::TestWithParam<BombCase> {};

// Never more than the disk holds, and never more than an entry declares.
TEST_P(ZipBombTest, ExtractsOnlyWhatFitsAndWhatTheHeaderDeclares)
{
    const BombCase& row = GetParam();
    TemporaryFolder folder(QStringLiteral("zip-bomb"));
    const QString archive = folder.filePath(QStringLiteral("a.zip"));
    ASSERT_TRUE(writeArchive(archive, row.entries, row.declaredBytes, row.actualBytes));
    const ConfinedFolder root = ConfinedFolder::open(QFile::encodeName(folder.path()));
    DiskBudget budget(5);

    EXPECT_EQ(ZipExtractor(budget).extract(root, "a.zip") == ServiceFailure::None, row.extracted);
    const QFileInfo entry(folder.filePath(QStringLiteral("bomb0.bin")));
    EXPECT_EQ(entry.exists(), row.extracted);
    EXPECT_LE(quint64(entry.size()), row.declaredBytes);
}

INSTANTIATE_TEST_SUITE_P(
    Bombs, ZipBombTest,
    ::testing::Values(BombCase{"Honest", 1, 1 << 20, 1 << 20, true},
                      // Four tebibytes declared: more than any test machine's disk holds.
                      BombCase{"LargerThanTheDisk", 1024, 0xFFFFFFF0, 1 << 20, false},
                      BombCase{"InflatesBeyondItsHeader", 1, 1000, 1 << 20, false}),
    caseName);

} // namespace
