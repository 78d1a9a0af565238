#pragma once

#include "archived/ConfinedFolder.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// The one folder the service may touch. A path of a request ("/pub/a.txt") is taken inside it
// whether absolute or not, and walked step by step by descriptor: "..", and any symbolic link on
// the way, are refused at the moment of use.
class ConfinedRoot {
public:
    // Where a request path leads: the open folder holding its last step, and that step.
    struct Place {
        ConfinedFolder parent;
        QByteArray name;
    };

    explicit ConfinedRoot(const QString& root);

    bool isValid() const { return root_.isOpen(); }
    const ConfinedFolder& folder() const { return root_; }

    // The place of a request path; nothing when a folder on the way is missing or a link.
    std::optional<Place> locate(const QString& requestPath) const;
    // The steps of a relative path as local (UTF-8) names, "." and empty steps left out;
    // nothing for "..", NUL or no step at all.
    static std::optional<QList<QByteArray>> steps(const QString& path);

private:
    ConfinedFolder root_;
};
