#include "config/Configuration.h"

#include "platform/Paths.h"
#include "platform/Profile.h"
#include "platform/TextCodec.h"

#include <QDir>

#include <algorithm>
#include <climits>

namespace {

const QString countSection = QStringLiteral("AddresCount");
const QString countKey = QStringLiteral("Count");
const QString addressSection = QStringLiteral("Addres");
const QString workPathSection = QStringLiteral("WorkPath");
const QString workPathKey = QStringLiteral("WorkPath");
const QString updateSection = QStringLiteral("UPdata");
const QString updateModeKey = QStringLiteral("mode");
const QString transferSection = QStringLiteral("Transfer");

// A typing slip must not turn a retry into hours of waiting or endless tries.
constexpr int maxRetries = 10;
constexpr int maxRetryDelaySeconds = 3600;

// A damaged "Count" must not make start-up read and list millions of entries.
constexpr int maxListedAddresses = 10000;
// Local paths on Linux run far past the 260 bytes of a profile value; a cut work path would
// send the account and queue files to some other folder.
constexpr int workPathBufferBytes = 4096;

QString addressKey(int index)
{
    return QStringLiteral("A") + QString::number(index);
}

QString withTrailingSlash(const QString& path)
{
    return path.endsWith(u'/') ? path : path + u'/';
}

// Folders that QStandardPaths names need not exist yet (a fresh account often has no
// Documents folder), so the work folder is created with its parents. With no documents folder
// at all nothing is created: that would put a folder at the file-system root.
QString prepareWorkFolder(const QString& documentsFolder)
{
    const QString workFolder = Paths::workFolder(documentsFolder);
    if (!documentsFolder.isEmpty())
        QDir().mkpath(workFolder);
    return workFolder;
}

QStringList readAddresses(const Profile& profile, int count)
{
    QStringList keys;
    for (int index = 1; index <= qMin(count, maxListedAddresses); ++index)
        keys.append(addressKey(index));
    QStringList addresses = profile.readStrings(addressSection, keys);
    std::reverse(addresses.begin(), addresses.end());
    return addresses;
}

bool isRemembered(const Profile& profile, const QString& host)
{
    const QStringList entries = profile.readSection(addressSection, Profile::SectionBufferBytes);
    return std::any_of(entries.begin(), entries.end(), [&host](const QString& entry) {
        return entry.mid(entry.lastIndexOf(u'=') + 1) == host;
    });
}

DataConnectionMode parseDataMode(const QString& text)
{
    const QString mode = text.trimmed().toLower();
    if (mode == QLatin1String("active"))
        return DataConnectionMode::Active;
    if (mode == QLatin1String("passive"))
        return DataConnectionMode::Passive;
    return DataConnectionMode::Automatic;
}

// Fractions are allowed ("0.5"), so short waits can be chosen too. Anything unreadable keeps
// the defaults.
std::vector<std::chrono::milliseconds> parseDelays(const QString& text,
                                                   std::vector<std::chrono::milliseconds> delays)
{
    std::vector<std::chrono::milliseconds> parsed;
    for (const QString& part : text.split(u',', Qt::SkipEmptyParts)) {
        bool ok = false;
        const double seconds = part.trimmed().toDouble(&ok);
        if (!ok || seconds < 0 || seconds > maxRetryDelaySeconds)
            return delays;
        parsed.emplace_back(static_cast<long long>(seconds * 1000));
    }
    return parsed.empty() ? delays : parsed;
}

// A negative or unreadable limit is no limit; a huge one is the largest.
int readLimit(const Profile& profile, const QString& key)
{
    return std::clamp(profile.readInt(transferSection, key, 0), 0, MaxSpeedLimit);
}

} // namespace

std::chrono::milliseconds TransferSettings::retryDelay(int retry) const
{
    if (retryDelays.empty())
        return std::chrono::milliseconds(0);
    const auto index = std::min<std::size_t>(std::max(retry, 0), retryDelays.size() - 1);
    return retryDelays[index];
}

TransferSettings ReadTransferSettings(const QString& configPath)
{
    TransferSettings settings;
    const Profile profile(configPath);
    settings.dataMode =
        parseDataMode(profile.readString(transferSection, QStringLiteral("DataMode"), QString()));
    settings.retries =
        std::clamp(profile.readInt(transferSection, QStringLiteral("Retries"), settings.retries), 0,
                   maxRetries);
    settings.retryDelays =
        parseDelays(profile.readString(transferSection, QStringLiteral("RetryDelays"), QString()),
                    settings.retryDelays);
    settings.verify = profile.readString(transferSection, QStringLiteral("Verify"), QString())
                          .trimmed()
                          .toLower() != QLatin1String("off");
    settings.downloadLimit = readLimit(profile, QStringLiteral("DownloadLimit"));
    settings.uploadLimit = readLimit(profile, QStringLiteral("UploadLimit"));
    settings.keepTimes = profile.readInt(transferSection, QStringLiteral("KeepTimes"), 0) == 1;
    return settings;
}

bool StoreSpeedLimits(const QString& configPath, int downloadLimit, int uploadLimit)
{
    const Profile profile(configPath);
    const auto store = [&profile](const QString& key, int limit) {
        return profile.writeString(transferSection, key,
                                   QString::number(std::clamp(limit, 0, MaxSpeedLimit)));
    };
    return store(QStringLiteral("DownloadLimit"), downloadLimit) &&
           store(QStringLiteral("UploadLimit"), uploadLimit);
}

Configuration LoadConfiguration(const QString& documentsFolder)
{
    Configuration config;
    config.documentsFolderMissing = documentsFolder.isEmpty();
    config.workFolder = prepareWorkFolder(documentsFolder);
    config.configPath = config.workFolder + QStringLiteral("/ftp.ini");
    const Profile profile(config.configPath);
    config.addressCount = profile.readInt(countSection, countKey, 0);
    config.addresses = readAddresses(profile, config.addressCount);
    const QString workPath =
        profile.readString(workPathSection, workPathKey, QString(), workPathBufferBytes);
    config.workPath = withTrailingSlash(workPath.isEmpty() ? config.workFolder : workPath);
    config.updateMode = profile.readInt(updateSection, updateModeKey, 2);
    return config;
}

Configuration LoadConfiguration()
{
    return LoadConfiguration(Paths::documentsFolder());
}

// A host that the file cannot hold is not counted either, so "Count" never names a key that
// was never written.
void RememberServer(Configuration& config, const QString& host)
{
    if (host.isEmpty() || !Profile::canStore(host) || config.addressCount == INT_MAX)
        return;
    const Profile profile(config.configPath);
    if (isRemembered(profile, host))
        return;
    ++config.addressCount;
    profile.writeString(countSection, countKey, QString::number(config.addressCount));
    profile.writeString(addressSection, addressKey(config.addressCount), host);
    config.addresses.prepend(host);
}

bool StoreWorkPath(Configuration& config, const QString& folder)
{
    const QString workPath = withTrailingSlash(folder);
    if (folder.isEmpty() || TextCodec::toGbk(workPath).size() >= workPathBufferBytes)
        return false;
    if (!Profile(config.configPath).writeString(workPathSection, workPathKey, workPath))
        return false;
    config.workPath = workPath;
    return true;
}
