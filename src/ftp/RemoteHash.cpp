#include "ftp/RemoteHash.h"

#include "ftp/FtpClient.h"

RemoteHash::RemoteHash(FtpClient& client) : client_(client) {}

void RemoteHash::renewForLogon()
{
    if (logon_ == client_.logonCount())
        return;
    logon_ = client_.logonCount();
    command_ = ServerHashCommand::choose(client_.features());
    prepared_ = false;
    givenUp_ = false;
    failureReported_ = false;
}

// A refused choice leaves the server's current algorithm, if it named one.
std::optional<StreamHash::Algorithm> RemoteHash::prepare()
{
    renewForLogon();
    if (!command_ || givenUp_)
        return std::nullopt;
    if (!prepared_ && command_->needsSelection && !client_.Command(command_->selection())) {
        if (!client_.connectionFault().isEmpty() || !command_->current) {
            givenUp_ = true;
            fail();
            return std::nullopt;
        }
        command_->algorithm = *command_->current;
    }
    prepared_ = true;
    return command_->algorithm;
}

RemoteHash::Answer RemoteHash::query(const QString& wireName)
{
    if (!prepare())
        return Answer{};
    if (!client_.Command(command_->request(wireName)))
        return fail();
    const std::optional<QString> digest = command_->digestIn(client_.replyLine);
    if (!digest)
        return fail();
    return Answer{Status::Digest, *digest, QString(), false};
}

// A server that does not answer in time is not asked again on this connection: each file
// would wait out the time-out once more.
RemoteHash::Answer RemoteHash::fail()
{
    if (!client_.connectionFault().isEmpty())
        givenUp_ = true;
    Answer answer{Status::Failed, QString(), client_.replyLine, !failureReported_};
    failureReported_ = true;
    return answer;
}
