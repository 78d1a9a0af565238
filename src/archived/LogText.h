#pragma once

#include <QString>

// Text from a client made safe for a log line: control characters (C0, DEL, C1), line and
// paragraph separators and the invisible format characters (bidirectional overrides among them)
// are written as \xNN or \uNNNN, and a backslash as "\\", so that no client can end a line,
// start a forged one or hide part of it.
class LogText {
public:
    static QString escaped(const QString& text);
};
