#pragma once

#include "ftp/CertificateJudge.h"

#include <QString>

#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

class Prompt;

// The one judge of every session and transfer worker. A certificate that failed verification
// is accepted when the trust file remembers it for that server, or when the user accepted it
// "this time" earlier in this run (which is how a transfer worker reuses its session's
// decision); a server whose remembered certificate has changed is refused with a warning;
// otherwise the user is asked, once however many connections to the server ask at the same
// time. The trust file ("trust.dat" in the work path, mode 0600) holds one line per server:
// host, port and SHA-256 fingerprint, separated by tabs.
class CertificateTrust : public CertificateJudge {
public:
    // The trust file of a work path that ends with "/"; empty (nothing remembered) for none.
    static QString pathIn(const QString& workPath);

    // log receives a line (ending in CR LF) when a changed certificate is refused or a trusted
    // one cannot be saved; it is called on the asking thread.
    CertificateTrust(Prompt& prompt, QString trustFile,
                     std::function<void(const QString&)> log = {});

    // The work path moved: later decisions read and write the file there.
    void setTrustFile(const QString& path);

    bool acceptCertificate(const QString& host, int port,
                           const TlsCertificate& certificate) override;
    bool remembersCertificate(const QString& host, int port) override;

private:
    enum class Verdict { Accept, Refuse, Ask, Warn };
    // A question (or warning) under way for one server; the connections that wait for it take
    // its outcome when it is about the same certificate.
    struct Question {
        QString fingerprint;
        bool answered = false;
        bool accepted = false;
    };

    // One connection's certificate and what the decision about it found.
    struct Request {
        QString server; // the key of the trust file and of the in-memory decisions
        QString name;   // "host:port" as the user reads it
        bool storable;  // the host can be written to the trust file
        TlsCertificate certificate;
        QString fingerprint; // upper case, as stored
        QString remembered;  // the fingerprint the trust file holds for the server
        QString trustFile;
    };

    Verdict verdictFor(Request& request) const;
    bool askUser(const Request& request);
    bool refuseChanged(const Request& request);
    bool remember(const Request& request);
    static QString warningText(const Request& request);

    Prompt& prompt_;
    std::function<void(const QString&)> log_;
    mutable std::mutex mutex_; // guards trustFile_, the trust file itself, once_ and questions_
    std::condition_variable answered_;
    QString trustFile_;
    std::map<QString, QString> once_; // server key -> fingerprint accepted this time
    std::map<QString, std::shared_ptr<Question>> questions_; // by server key
};
