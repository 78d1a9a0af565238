#include "archive/ServiceFailure.h"

#include <array>

namespace {
struct Row {
    ServiceFailure failure;
    const char* code;
    const char* text;
};

const std::array<Row, 11> rows{{
    {ServiceFailure::NotFound, "NOTFOUND",
     "原因：服务端找不到该文件，或路径经过符号链接、不在服务目录之内"},
    {ServiceFailure::NotZip, "NOTZIP", "原因：该文件不是服务端能解压的 zip 压缩包"},
    {ServiceFailure::Unsafe, "UNSAFE",
     "原因：压缩包中有条目名称不安全（会写到目标文件夹之外或无法解码），已拒绝解压"},
    {ServiceFailure::Clash, "CLASH", "原因：压缩包中有两个条目对应同一个文件名，已拒绝解压"},
    {ServiceFailure::Conflict, "CONFLICT",
     "原因：目标位置已有符号链接，或文件与文件夹同名冲突，解压内容已全部撤回"},
    {ServiceFailure::NoSpace, "NOSPACE", "原因：服务器磁盘空间或可建文件数不足，已拒绝"},
    {ServiceFailure::Damaged, "DAMAGED", "原因：压缩包已损坏，数据与其记录不符"},
    {ServiceFailure::Io, "IO", "原因：服务端读写文件出错"},
    {ServiceFailure::Exists, "EXISTS", "原因：同名的压缩包已存在，服务端不会覆盖它"},
    {ServiceFailure::Folders, "FOLDERS", "原因：所选项目不在同一个文件夹中"},
    {ServiceFailure::Unknown, "", "原因：服务端未说明失败的原因"},
}};

const QByteArray prefix = QByteArrayLiteral("WHY:");
} // namespace

namespace servicefailure {

QByteArray code(ServiceFailure failure)
{
    for (const Row& row : rows) {
        if (row.failure == failure)
            return QByteArray(row.code);
    }
    return QByteArray();
}

QByteArray trailer(ServiceFailure failure)
{
    const QByteArray known = code(failure);
    return known.isEmpty() ? QByteArray() : prefix + known + '\r';
}

ServiceFailure fromTrailer(const QByteArray& bytes)
{
    const int end = bytes.indexOf('\r');
    if (!bytes.startsWith(prefix) || end < 0)
        return ServiceFailure::Unknown;
    const QByteArray named = bytes.mid(prefix.size(), end - prefix.size());
    for (const Row& row : rows) {
        if (*row.code && named == row.code)
            return row.failure;
    }
    return ServiceFailure::Unknown;
}

QString chineseText(ServiceFailure failure)
{
    for (const Row& row : rows) {
        if (row.failure == failure)
            return QString::fromUtf8(row.text);
    }
    return chineseText(ServiceFailure::Unknown);
}

} // namespace servicefailure
