#pragma once

#include "platform/NamedMutex.h"
#include "platform/Prompt.h"
#include "session/RemoteBrowserState.h"
#include "session/RemoteNameEncodings.h"
#include "session/RemoteOperations.h"

#include <QString>

class RemoteFileSystem;

// The remote pane's existence test, run on a transfer worker's own connection for the folder
// uploads. Only ProbeRemote is reached through it: it never asks the user anything and never
// takes the engine lock, which guards the session connections, not this one.
class FolderProbe {
public:
    FolderProbe(RemoteFileSystem& client, RemoteNameEncodings& encodings);

    // 0: nothing of that name; 1 or 2: an entry of that name exists. Paths are absolute.
    int ProbeRemote(const QString& path);

private:
    class Silent : public Prompt {
    public:
        PromptAnswer ask(const QString&, const QString&, PromptButtons) override
        {
            return PromptAnswer::No;
        }
    };

    RemoteBrowserState remote_;
    NamedMutex unusedLock_;
    Silent silent_;
    RemoteOperations operations_;
};
