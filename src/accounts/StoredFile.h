#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The enciphered files of the work folder ("list.dat", "WFL.dat") are read and replaced the same
// way: only whole cipher blocks count, and a new content never replaces the old one until it is
// complete on disk.
class StoredFile {
public:
    // The file's bytes up to its last whole cipher block; empty for a missing file, nothing when
    // an existing file cannot be read (so that callers never replace what they could not read).
    static std::optional<QByteArray> readWholeBlocks(const QString& path);

    // Writes the bytes to a temporary file beside the target (mode 0600), syncs it and renames it
    // over the target: a crash leaves the old or the new content, never a partial one. False, with
    // the target untouched, when any step fails.
    static bool replace(const QString& path, const QByteArray& bytes);

    // CR and LF delimit the stored fields and NUL bytes are dropped when reading, so a text
    // holding any of them cannot be stored faithfully.
    static bool isUnstorable(const QString& text);
};
