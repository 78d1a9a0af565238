#pragma once

#include <QMap>
#include <QString>

// What a server announced in its answer to FEAT: one feature per line, its name first and any
// parameters after a blank ("HASH SHA-256*;SHA-1", "MFMT", "UTF8").
class ServerFeatures {
public:
    ServerFeatures() = default;
    // The whole reply, code lines included; a refused FEAT gives no features.
    static ServerFeatures parse(const QString& replyText);

    bool has(const QString& name) const;
    QString parameters(const QString& name) const;

private:
    QMap<QString, QString> features_; // upper-case name → parameters
};
