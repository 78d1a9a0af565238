#include "update/HttpFileDownload.h"

#include <QCryptographicHash>
#include <QFile>

#include <curl/curl.h>

#include <algorithm>
#include <memory>
#include <mutex>

namespace {

struct Transfer {
    QFile* file = nullptr;
    QCryptographicHash hash{QCryptographicHash::Sha256};
    qint64 received = 0;
    qint64 maxBytes = 0;
    bool tooLarge = false;
    const std::atomic<bool>* cancelled = nullptr;
};

size_t writeBody(char* data, size_t size, size_t count, void* context)
{
    auto* transfer = static_cast<Transfer*>(context);
    const qint64 length = static_cast<qint64>(size * count);
    if (transfer->received + length > transfer->maxBytes) {
        transfer->tooLarge = true;
        return 0;
    }
    if (transfer->file->write(data, length) != length)
        return 0;
    transfer->hash.addData(QByteArrayView(data, length));
    transfer->received += length;
    return static_cast<size_t>(length);
}

int checkCancelled(void* context, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<Transfer*>(context)->cancelled->load() ? 1 : 0;
}

void initialiseCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

using EasyHandle = std::unique_ptr<CURL, decltype(&curl_easy_cleanup)>;
using HeaderList = std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)>;

HeaderList requestHeaders()
{
    curl_slist* list = nullptr;
    for (const char* line : {"Accept:*/*", "Cache-Control: no-cache", "Pragma: no-cache"})
        list = curl_slist_append(list, line);
    return HeaderList(list, &curl_slist_free_all);
}

void setOptions(CURL* curl, const QByteArray& url, curl_slist* headers, Transfer& transfer,
                const DownloadLimits& limits, char* errorBuffer)
{
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "HttpDownload");
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    // https: the server's certificate must chain to the system's trusted authorities and
    // name the host.
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, long(limits.connectTimeout.count()));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, long(limits.totalTimeout.count()));
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME,
                     long(std::max<qint64>(1, limits.stallTimeout.count())));
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(limits.maxBytes));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &writeBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &checkCancelled);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
}

} // namespace

HttpFileDownload::HttpFileDownload(const std::atomic<bool>& cancelled) : cancelled_(cancelled) {}

bool HttpFileDownload::fetch(const QString& url, const QString& filePath,
                             const DownloadLimits& limits)
{
    sha256Hex_.clear();
    errorText_.clear();
    initialiseCurlOnce();
    QFile file(filePath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        errorText_ = file.errorString();
        return false;
    }
    Transfer transfer;
    transfer.file = &file;
    transfer.maxBytes = limits.maxBytes;
    transfer.cancelled = &cancelled_;
    EasyHandle curl(curl_easy_init(), &curl_easy_cleanup);
    const HeaderList headers = requestHeaders();
    char errorBuffer[CURL_ERROR_SIZE] = {};
    setOptions(curl.get(), url.toUtf8(), headers.get(), transfer, limits, errorBuffer);
    const CURLcode result = curl_easy_perform(curl.get());
    long status = 0;
    curl_off_t contentLength = -1;
    curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status);
    curl_easy_getinfo(curl.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &contentLength);
    const bool flushed = file.flush();
    file.close();

    if (transfer.tooLarge || result == CURLE_FILESIZE_EXCEEDED)
        errorText_ = QStringLiteral("超过 %1 字节").arg(limits.maxBytes);
    else if (result != CURLE_OK)
        errorText_ = QString::fromUtf8(*errorBuffer ? errorBuffer : curl_easy_strerror(result));
    else if (status != 200)
        errorText_ = QStringLiteral("服务器答复 HTTP %1").arg(status);
    else if (contentLength < 0)
        errorText_ = QStringLiteral("服务器没有给出长度");
    else if (contentLength != transfer.received)
        errorText_ =
            QStringLiteral("只收到 %1 / %2 字节").arg(transfer.received).arg(contentLength);
    else if (!flushed)
        errorText_ = file.errorString();
    if (!errorText_.isEmpty()) {
        QFile::remove(filePath);
        return false;
    }
    sha256Hex_ = transfer.hash.result().toHex();
    return true;
}
