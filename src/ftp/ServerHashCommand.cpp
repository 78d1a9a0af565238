#include "ftp/ServerHashCommand.h"

#include "ftp/ServerFeatures.h"

#include <QStringList>

namespace {

using Algorithm = StreamHash::Algorithm;

struct OldCommand {
    Algorithm algorithm;
    QLatin1String verb;
};

constexpr Algorithm preference[] = {Algorithm::Sha256, Algorithm::Sha1, Algorithm::Md5,
                                    Algorithm::Crc32};
const OldCommand oldCommands[] = {{Algorithm::Sha256, QLatin1String("XSHA256")},
                                  {Algorithm::Sha1, QLatin1String("XSHA1")},
                                  {Algorithm::Md5, QLatin1String("XMD5")},
                                  {Algorithm::Crc32, QLatin1String("XCRC")}};

bool isHex(const QString& text)
{
    for (const QChar c : text) {
        if (!c.isDigit() && (c.toLower() < u'a' || c.toLower() > u'f'))
            return false;
    }
    return !text.isEmpty();
}

// Some servers leave out the leading zeros of a CRC.
std::optional<QString> normalised(const QString& token, Algorithm algorithm)
{
    const int digits = StreamHash::hexDigits(algorithm);
    if (!isHex(token) || token.size() > digits ||
        (token.size() < digits && algorithm != Algorithm::Crc32))
        return std::nullopt;
    return token.toLower().rightJustified(digits, u'0');
}

} // namespace

std::optional<ServerHashCommand> ServerHashCommand::choose(const ServerFeatures& features)
{
    std::optional<Algorithm> current;
    QList<Algorithm> offered;
    for (QString name : features.parameters(QStringLiteral("HASH")).split(u';')) {
        const bool marked = name.trimmed().endsWith(u'*');
        name = name.trimmed().remove(u'*');
        if (const auto algorithm = StreamHash::fromName(name)) {
            offered.append(*algorithm);
            if (marked)
                current = algorithm;
        }
    }
    const bool hash = features.has(QStringLiteral("HASH"));
    for (const Algorithm algorithm : preference) {
        if (hash && offered.contains(algorithm))
            return ServerHashCommand{algorithm, QStringLiteral("HASH"), current != algorithm,
                                     current};
        for (const OldCommand& old : oldCommands) {
            if (old.algorithm == algorithm && features.has(old.verb))
                return ServerHashCommand{algorithm, old.verb, false, std::nullopt};
        }
    }
    return std::nullopt;
}

QString ServerHashCommand::selection() const
{
    return QStringLiteral("OPTS HASH ") + StreamHash::name(algorithm);
}

QString ServerHashCommand::request(const QString& name) const
{
    return verb + u' ' + name;
}

// HASH answers "213 SHA-256 0-1234 <digest> <name>"; the older commands put the digest after
// the code, some with the name before or after it.
std::optional<QString> ServerHashCommand::digestIn(const QString& replyLine) const
{
    if (!replyLine.startsWith(u'2'))
        return std::nullopt;
    const QStringList tokens = replyLine.mid(4).split(u' ', Qt::SkipEmptyParts);
    if (verb == QLatin1String("HASH")) {
        if (tokens.size() < 3 || StreamHash::fromName(tokens.at(0)) != algorithm ||
            !tokens.at(1).startsWith(QLatin1String("0-")))
            return std::nullopt;
        return normalised(tokens.at(2), algorithm);
    }
    for (const QString& token : tokens) {
        if (auto digest = normalised(token, algorithm))
            return digest;
    }
    return std::nullopt;
}
