#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <minizip/zip.h>

#include <algorithm>
#include <vector>

// Zip archives written entry by entry, as other tools write them: raw name bytes with or
// without the UTF-8 flag (bit 11), and large entries of zeros without a file on disk.
namespace rawzip {

struct Entry {
    QByteArray name;
    bool utf8 = true;
    QByteArray data;
    quint64 zeros = 0; // written after data
};

inline bool write(const QString& path, const std::vector<Entry>& entries)
{
    zipFile zip = zipOpen64(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
    const std::vector<char> chunk(1 << 20, '\0');
    bool ok = zip != nullptr;
    for (const Entry& entry : entries) {
        zip_fileinfo info{};
        ok = ok && zipOpenNewFileInZip4_64(zip, entry.name.constData(), &info, nullptr, 0, nullptr,
                                           0, nullptr, Z_DEFLATED, 1, 0, -MAX_WBITS, DEF_MEM_LEVEL,
                                           Z_DEFAULT_STRATEGY, nullptr, 0, 0,
                                           entry.utf8 ? 0x800 : 0, 0) == ZIP_OK;
        ok = ok && zipWriteInFileInZip(zip, entry.data.constData(),
                                       static_cast<unsigned>(entry.data.size())) == ZIP_OK;
        for (quint64 left = entry.zeros; ok && left > 0;) {
            const quint64 piece = std::min<quint64>(left, chunk.size());
            ok = zipWriteInFileInZip(zip, chunk.data(), static_cast<unsigned>(piece)) == ZIP_OK;
            left -= piece;
        }
        ok = ok && zipCloseFileInZip(zip) == ZIP_OK;
    }
    return zip && zipClose(zip, nullptr) == ZIP_OK && ok;
}

} // namespace rawzip
