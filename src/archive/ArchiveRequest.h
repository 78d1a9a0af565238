#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The texts of one request to the archive service on the FTP server's host: "A" CR and the
// full paths of the items to compress, or "X" CR and the one archive to extract, each path
// closed by CR.
class ArchiveRequest {
public:
    // The password every client sends; the user's FTP password never goes to the service.
    static constexpr QLatin1String servicePassword{"740316"};
    static constexpr quint16 servicePort = 28885;

    static QString compressText(const QStringList& fullPaths);
    static QString extractText(const QString& fullPath);

    // folder + "/" unless it ends in one + name; a Serv-U server (serverKind 2) sees each user
    // under "/" + user, so that goes in front.
    static QString fullPath(const QString& folder, const QString& name, int serverKind,
                            const QString& user);

    // The first path of the request, with "等" when more follow: what the log lines show.
    static QString displayName(const QString& requestText);

    // "UID:" user CR "PASS:" password CR request, in GBK, sent in one piece.
    static QByteArray message(const QString& user, const QString& requestText);

    // Why a request cannot carry the user name and these paths, as a Chinese log line without
    // its line end; empty when it can. The request is GBK text split by CR: a character GBK
    // lacks would go out as "?" (which could name another file), and a CR, LF or NUL would
    // split or cut a path.
    static QString whyUnsendable(const QString& user, const QStringList& fullPaths);

    // Whether the extract command is offered for this name: its extension (from the last ".")
    // is one of the archive formats, compared without regard to case.
    static bool hasArchiveExtension(const QString& name);
};
