#pragma once

#include "ftp/DataConnectionMode.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <vector>

// What the program reads from ftp.ini in its work folder at start-up.
struct Configuration {
    QString workFolder;    // documents folder + "/ftpwork"
    QString configPath;    // workFolder + "/ftp.ini"
    QStringList addresses; // remembered servers in display order: most recent first
    int addressCount = 0;  // "AddresCount"/"Count" as read
    // Local work path, always ending with "/". After start-up it changes only while "mutex1" is
    // held, so a reader on another thread takes that lock too.
    QString workPath;
    int updateMode = 2;                  // "UPdata"/"mode": 1 automatic, 2 notify, 3 never
    bool documentsFolderMissing = false; // the caller tells the user "获取路径失败"
};

// Reads ftp.ini from documentsFolder + "/ftpwork", creating that folder when missing.
Configuration LoadConfiguration(const QString& documentsFolder);
// Uses the user's documents folder.
Configuration LoadConfiguration();

// Appends host to the remembered servers unless exactly this text is already there.
void RememberServer(Configuration& config, const QString& host);

// Stores the chosen local work path (kept with a trailing "/"). False, with the work path
// unchanged, when ftp.ini cannot take it: a path that does not come back from the file would
// send the accounts and the queue to another folder at the next start.
bool StoreWorkPath(Configuration& config, const QString& folder);

// The "Transfer" section of ftp.ini. Sessions and transfers read it when they start, so an
// edit takes effect without a restart.
struct TransferSettings {
    DataConnectionMode dataMode = DataConnectionMode::Automatic; // "DataMode": auto/active/passive
    int retries = 3;                                             // "Retries": 0 to 10
    // "RetryDelays": seconds before each retry, comma separated; the last one repeats.
    std::vector<std::chrono::milliseconds> retryDelays{
        std::chrono::seconds(5), std::chrono::seconds(10), std::chrono::seconds(20)};
    std::chrono::milliseconds retryDelay(int retry) const;
    bool verify = true; // "Verify": auto (ask the server for a digest where it offers one) / off
    // "DownloadLimit", "UploadLimit": kB/s (1024 bytes) for all transfers together; 0: none.
    int downloadLimit = 0;
    int uploadLimit = 0;
    bool keepTimes = false; // "KeepTimes": 1 carries the modification time across
};

TransferSettings ReadTransferSettings(const QString& configPath);
// Stores both limits (kB/s, 0: none); false when ftp.ini cannot take them.
bool StoreSpeedLimits(const QString& configPath, int downloadLimit, int uploadLimit);
// The largest limit accepted, in kB/s; larger values are taken as this.
constexpr int MaxSpeedLimit = 10 * 1024 * 1024;
