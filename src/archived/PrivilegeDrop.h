#pragma once

#include <QString>

// Gives up root for good: the process takes the user's id, primary group and supplementary
// groups, so that files it writes belong to that user and it can never regain root.
class PrivilegeDrop {
public:
    // False with a reason when the user is unknown or a step fails.
    static bool to(const QString& user, QString& error);
    static bool isRoot();
};
