#include "accounts/CertificateTrust.h"

#include "accounts/StoredFile.h"
#include "platform/Prompt.h"

#include <QFile>
#include <QRegularExpression>

#include <algorithm>

namespace {

const QString trustFileName = QStringLiteral("trust.dat");
const QString questionCaption = QStringLiteral("证书验证失败");
const QString warningCaption = QStringLiteral("证书已改变");
// Far more servers than anyone trusts by hand; a larger file is damaged and read as empty.
constexpr qint64 largestTrustFile = 1 << 20;

// Host names are compared as DNS compares them; the tab separates the fields of a line.
QString serverKey(const QString& host, int port)
{
    return host.toLower() + u'\t' + QString::number(port);
}

QString serverName(const QString& host, int port)
{
    const QString shown = host.contains(u':') ? u'[' + host + u']' : host;
    return shown + u':' + QString::number(port);
}

bool isFingerprint(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^[0-9A-F]{2}(:[0-9A-F]{2}){31}$"));
    return pattern.match(text).hasMatch();
}

bool isStorableHost(const QString& host)
{
    return !host.isEmpty() &&
           std::none_of(host.begin(), host.end(), [](QChar c) { return c.unicode() < 0x20; });
}

// Lines that are not "host TAB port TAB fingerprint" are skipped, so a damaged file trusts
// nothing it does not spell out whole.
std::map<QString, QString> readTrustFile(const QString& path)
{
    std::map<QString, QString> entries;
    QFile file(path);
    if (file.size() > largestTrustFile || !file.open(QIODevice::ReadOnly))
        return entries;
    for (const QByteArray& line : file.read(largestTrustFile).split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() != 3)
            continue;
        const QString host = QString::fromUtf8(fields.at(0));
        bool numeric = false;
        const int port = fields.at(1).toInt(&numeric);
        const QString fingerprint = QString::fromLatin1(fields.at(2));
        if (isStorableHost(host) && numeric && port > 0 && port < 65536 &&
            isFingerprint(fingerprint))
            entries[serverKey(host, port)] = fingerprint;
    }
    return entries;
}

QByteArray trustFileText(const std::map<QString, QString>& entries)
{
    QByteArray text;
    for (const auto& [server, fingerprint] : entries)
        text += server.toUtf8() + '\t' + fingerprint.toLatin1() + '\n';
    return text;
}

QString questionText(const QString& server, const TlsCertificate& certificate)
{
    return QStringLiteral(
               "服务器 %1 的证书未通过验证：%2\n\n主题：%3\n颁发者：%4\n有效期：%5 至 %6\n"
               "SHA-256 指纹：%7\n\n是否信任此证书？")
        .arg(server, certificate.verifyError, certificate.subject, certificate.issuer,
             certificate.notBefore, certificate.notAfter, certificate.sha256Fingerprint);
}

} // namespace

QString CertificateTrust::warningText(const Request& request)
{
    return QStringLiteral(
               "服务器 %1 的证书与以前信任的证书不同，可能有人冒充该服务器，已拒绝连接。\n\n"
               "以前信任的 SHA-256 指纹：%2\n现在的 SHA-256 指纹：%3\n\n"
               "如确知服务器更换了证书，请从 %4 中删除该服务器的一行后重新连接。")
        .arg(request.name, request.remembered, request.certificate.sha256Fingerprint,
             request.trustFile);
}

QString CertificateTrust::pathIn(const QString& workPath)
{
    return workPath.isEmpty() ? QString() : workPath + trustFileName;
}

CertificateTrust::CertificateTrust(Prompt& prompt, QString trustFile,
                                   std::function<void(const QString&)> log)
    : prompt_(prompt), log_(std::move(log)), trustFile_(std::move(trustFile))
{
}

void CertificateTrust::setTrustFile(const QString& path)
{
    std::lock_guard<std::mutex> hold(mutex_);
    trustFile_ = path;
}

// A connection that finds a question about its server under way waits for it and takes its
// outcome when it is about the same certificate, so the user is asked once.
bool CertificateTrust::acceptCertificate(const QString& host, int port,
                                         const TlsCertificate& certificate)
{
    Request request{serverKey(host, port),
                    serverName(host, port),
                    isStorableHost(host),
                    certificate,
                    certificate.sha256Fingerprint.toUpper(),
                    {},
                    {}};
    std::unique_lock<std::mutex> hold(mutex_);
    for (auto pending = questions_.find(request.server); pending != questions_.end();
         pending = questions_.find(request.server)) {
        const std::shared_ptr<Question> question = pending->second;
        answered_.wait(hold, [&question] { return question->answered; });
        if (question->fingerprint == request.fingerprint)
            return question->accepted;
    }
    const Verdict verdict = verdictFor(request);
    if (verdict == Verdict::Accept || verdict == Verdict::Refuse)
        return verdict == Verdict::Accept;
    auto question = std::make_shared<Question>();
    question->fingerprint = request.fingerprint;
    questions_[request.server] = question;
    hold.unlock();
    const bool accepted = verdict == Verdict::Ask ? askUser(request) : refuseChanged(request);
    hold.lock();
    question->answered = true;
    question->accepted = accepted;
    questions_.erase(request.server);
    answered_.notify_all();
    return accepted;
}

bool CertificateTrust::remembersCertificate(const QString& host, int port)
{
    std::lock_guard<std::mutex> hold(mutex_);
    return readTrustFile(trustFile_).count(serverKey(host, port)) > 0;
}

// Called with the lock held; notes what the answer needs in the request.
CertificateTrust::Verdict CertificateTrust::verdictFor(Request& request) const
{
    if (!isFingerprint(request.fingerprint))
        return Verdict::Refuse; // nothing the user could compare, nothing to remember
    request.trustFile = trustFile_;
    const std::map<QString, QString> trusted = readTrustFile(trustFile_);
    if (const auto known = trusted.find(request.server); known != trusted.end()) {
        request.remembered = known->second;
        return known->second == request.fingerprint ? Verdict::Accept : Verdict::Warn;
    }
    const auto once = once_.find(request.server);
    return once != once_.end() && once->second == request.fingerprint ? Verdict::Accept
                                                                      : Verdict::Ask;
}

// Called without the lock, as the question may wait for the user as long as it likes.
bool CertificateTrust::askUser(const Request& request)
{
    const PromptAnswer answer = prompt_.ask(questionText(request.name, request.certificate),
                                            questionCaption, PromptButtons::TrustChoice);
    if (answer != PromptAnswer::TrustAlways && answer != PromptAnswer::TrustOnce)
        return false;
    std::lock_guard<std::mutex> hold(mutex_);
    once_[request.server] = request.fingerprint;
    if (answer == PromptAnswer::TrustAlways && !remember(request) && log_)
        log_(QStringLiteral("无法保存信任的证书到") + trustFile_ +
             QStringLiteral("，本次运行内有效\r\n"));
    return true;
}

// Called without the lock.
bool CertificateTrust::refuseChanged(const Request& request)
{
    if (log_)
        log_(QStringLiteral("服务器") + request.name +
             QStringLiteral("的证书与以前信任的证书不同，已拒绝连接\r\n"));
    prompt_.tell(warningText(request), warningCaption);
    return false;
}

// Called with the lock held.
bool CertificateTrust::remember(const Request& request)
{
    if (trustFile_.isEmpty() || !request.storable)
        return false;
    std::map<QString, QString> trusted = readTrustFile(trustFile_);
    trusted[request.server] = request.fingerprint;
    return StoredFile::replace(trustFile_, trustFileText(trusted));
}
