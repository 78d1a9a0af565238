#pragma once

#include <QString>

#include <optional>

// The one folder the service may touch. A path of a request ("/pub/a.txt") is taken inside
// it whether absolute or not; "..", and symbolic links that lead outside, are refused.
class ConfinedRoot {
public:
    explicit ConfinedRoot(const QString& root);

    bool isValid() const { return !root_.isEmpty(); }
    const QString& path() const { return root_; }

    // The local path of an existing item inside the root, or nothing.
    std::optional<QString> existing(const QString& requestPath) const;
    // Whether a (possibly not yet existing) local path stays inside the root: every existing
    // part of it resolves inside, and it is not itself a link.
    bool mayWrite(const QString& localPath) const;
    // Whether an entry name of an archive stays below its folder: relative, without "..".
    static bool isSafeRelativeName(const QString& name);

private:
    bool contains(const QString& canonicalPath) const;

    QString root_; // canonical
};
