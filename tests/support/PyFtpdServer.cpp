#include "support/PyFtpdServer.h"

#include "platform/LineReader.h"
#include "platform/TcpSocket.h"

#include <QDir>
#include <QFile>

#include <thread>

namespace {

using std::chrono::milliseconds;

// A refused password is answered at once (pyftpdlib waits 3 s by default), so that tests of
// wrong passwords stay fast. The server binds port 0 and reports the port it got through a file
// renamed into place, so no port can be taken by someone else between choosing and binding it.
const char* const serverScript = R"(
import os, sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler, ThrottledDTPHandler
from pyftpdlib.ioloop import RetryError
from pyftpdlib.servers import FTPServer
user, password, home, permissions, port_file = sys.argv[1:6]
rate, keep, size, reverse = (int(a) for a in sys.argv[6:10])
hash_mode, wrong_digests = sys.argv[10], int(sys.argv[11])
authorizer = DummyAuthorizer()
authorizer.add_user(user, password, home, perm=permissions)
handler = FTPHandler
handler.authorizer = authorizer
handler.auth_failed_timeout = 0
if not size:
    handler.proto_cmds = {k: v for k, v in handler.proto_cmds.items() if k != "SIZE"}
if reverse:
    from pyftpdlib.filesystems import AbstractedFS
    class ReversedFS(AbstractedFS):
        def listdir(self, path):
            return sorted(super().listdir(path), reverse=True)
    handler.abstracted_fs = ReversedFS
if hash_mode != "none":
    import hashlib
    algorithms = {"SHA-256": hashlib.sha256, "SHA-1": hashlib.sha1, "MD5": hashlib.md5}
    syntax = dict(perm="r", auth=True, arg=True, help="Syntax: HASH <SP> path.")
    class HashingHandler(handler):
        proto_cmds = dict(handler.proto_cmds, HASH=syntax, XSHA256=syntax)
        wrong_left = [wrong_digests]
        algorithm = "SHA-1"
        def digest(self, path, name):
            if hash_mode == "refused" or not self.fs.isfile(path):
                self.respond("550 Cannot hash %s." % self.fs.fs2ftp(path))
                return None
            with open(path, "rb") as source:
                value = algorithms[name](source.read()).hexdigest()
            if self.wrong_left[0] != 0:
                self.wrong_left[0] -= 1
                value = ("1" if value[0] == "0" else "0") + value[1:]
            return value, os.path.getsize(path)
        def ftp_HASH(self, line):
            answer = self.digest(line, self.algorithm)
            if answer:
                self.respond("213 %s 0-%d %s %s" % (self.algorithm, answer[1], answer[0],
                                                     self.fs.fs2ftp(line)))
        def ftp_XSHA256(self, line):
            answer = self.digest(line, "SHA-256")
            if answer:
                self.respond("250 " + answer[0])
        def ftp_OPTS(self, line):
            words = line.split(" ")
            if words[0].upper() != "HASH":
                return super().ftp_OPTS(line)
            if len(words) == 2 and words[1].upper() in algorithms:
                self.algorithm = words[1].upper()
                return self.respond("200 " + self.algorithm)
            self.respond("501 Unknown algorithm.")
        def __init__(self, *args, **kwargs):
            super().__init__(*args, **kwargs)
            self._extra_feats = self._extra_feats + (
                ["XSHA256"] if hash_mode == "xsha256" else ["HASH SHA-256;SHA-1*;MD5"])
    handler = HashingHandler
dtp = DTPHandler
if rate:
    dtp = ThrottledDTPHandler
    dtp.read_limit = dtp.write_limit = rate
if keep:
    class LosingDTPHandler(dtp):
        losing = [True]
        def handle_read(self):
            if self.receive and self.losing[0] and self.tot_bytes_received >= keep:
                try:
                    chunk = self.recv(self.ac_in_buffer_size)
                except RetryError:
                    return
                except OSError:
                    return self.handle_error()
                self.tot_bytes_received += len(chunk)
                if not chunk:
                    self.losing[0] = False
                return
            super().handle_read()
        handle_read_event = handle_read
    dtp = LosingDTPHandler
handler.dtp_handler = dtp
server = FTPServer(("127.0.0.1", 0), handler)
with open(port_file + ".part", "w") as out:
    out.write(str(server.socket.getsockname()[1]))
os.rename(port_file + ".part", port_file)
server.serve_forever()
)";

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

PyFtpdServer::PyFtpdServer(PyFtpdOptions options) : options_(std::move(options)) {}

PyFtpdServer::~PyFtpdServer()
{
    stop();
}

QString PyFtpdServer::homePath() const
{
    return folder_ ? folder_->filePath(QStringLiteral("home")) : QString();
}

bool PyFtpdServer::start()
{
    stop();
    folder_ = std::make_unique<TemporaryFolder>(QStringLiteral("pyftpd"));
    if (!folder_->isValid() || !QDir().mkpath(homePath())) {
        error_ = QStringLiteral("cannot prepare the home folder");
        return false;
    }
    const QStringList arguments{QStringLiteral("-c"),
                                QString::fromLatin1(serverScript),
                                options_.user,
                                options_.password,
                                homePath(),
                                options_.permissions,
                                folder_->filePath(QStringLiteral("port")),
                                QString::number(options_.rateLimit),
                                QString::number(options_.firstUploadKeeps),
                                QString::number(options_.sizeCommand ? 1 : 0),
                                QString::number(options_.reverseListing ? 1 : 0),
                                options_.hashCommands,
                                QString::number(options_.wrongDigests)};
    if (!process_.start(QStringLiteral("/usr/bin/python3"), arguments,
                        folder_->filePath(QStringLiteral("server.log")))) {
        error_ = QStringLiteral("cannot start /usr/bin/python3");
        return false;
    }
    return waitForPort() && waitForGreeting();
}

bool PyFtpdServer::waitForPort()
{
    const QString portFile = folder_->filePath(QStringLiteral("port"));
    for (int attempt = 0; attempt < 500 && process_.isRunning(); ++attempt) {
        port_ = readAll(portFile).toUShort();
        if (port_ != 0)
            return true;
        std::this_thread::sleep_for(milliseconds(20));
    }
    error_ = QStringLiteral("pyftpdlib did not start: ") +
             QString::fromLocal8Bit(readAll(folder_->filePath(QStringLiteral("server.log"))));
    return false;
}

bool PyFtpdServer::waitForGreeting()
{
    TcpSocket probe;
    if (probe.connect(host(), port_, milliseconds(2000))) {
        LineReader reader(probe);
        QByteArray line;
        if (reader.readLine(line, milliseconds(5000)) == LineReader::Status::Line &&
            line.startsWith("220"))
            return true;
    }
    error_ = QStringLiteral("pyftpdlib gave no greeting");
    return false;
}

void PyFtpdServer::kill()
{
    process_.stop();
}

void PyFtpdServer::stop()
{
    process_.stop();
    folder_.reset();
    port_ = 0;
}
