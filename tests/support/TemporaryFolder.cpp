#include "support/TemporaryFolder.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <ftw.h>
#include <stdlib.h>

namespace {

int removeEntry(const char* path, const struct stat*, int, FTW*)
{
    return std::remove(path);
}

} // namespace

TemporaryFolder::TemporaryFolder(const QString& prefix)
{
    QByteArray pattern =
        QFile::encodeName(QDir::tempPath() + u'/' + prefix + QStringLiteral("-XXXXXX"));
    if (::mkdtemp(pattern.data()) != nullptr)
        path_ = QFile::decodeName(pattern);
}

TemporaryFolder::~TemporaryFolder()
{
    if (isValid())
        ::nftw(QFile::encodeName(path_).constData(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
}
