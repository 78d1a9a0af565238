// The remote file operations as the view requests them: messages posted to a session thread
// that works against a real vsftpd, checked on the server's disk and in its protocol log.

#include "session/SessionThread.h"

#include "platform/NamedMutex.h"
#include "platform/TextCodec.h"
#include "session/RemoteBrowserState.h"
#include "session/SessionMessages.h"
#include "session/SessionRegistry.h"
#include "support/NamedCases.h"
#include "support/ScriptedPrompt.h"
#include "support/VsftpdServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <vector>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namedcases::operator<<;
using namedcases::caseName;

constexpr int signalWaitMs = 10000;
const QString sameNameCaption = QStringLiteral("发现同名文件");

// QStringList has no gtest printer: compared as one text, a failure shows readable names.
std::string joined(const QStringList& texts)
{
    return texts.join(QLatin1Char('|')).toStdString();
}

QStringList namesOf(const QVector<CListItem>& rows)
{
    QStringList names;
    for (const CListItem& row : rows)
        names << row.name;
    return names;
}

std::string contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : "<missing>";
}

// Whether the path exists as an entry, a dangling link included.
bool exists(const QString& path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

class SessionRemoteOperationsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(lockFolder.isValid());
        VsftpdOptions options;
        options.protocolLog = true;
        server = std::make_unique<VsftpdServer>(options);
        ASSERT_TRUE(server->start()) << server->errorText().toStdString();
    }

    void TearDown() override
    {
        session.reset();
        server.reset();
    }

    QString onDisk(const QString& relative) const
    {
        return server->pubPath() + QLatin1Char('/') + relative;
    }

    // Files and folders of the test belong to the server's user, as uploads would.
    void makeFolder(const QString& relative)
    {
        ASSERT_TRUE(QDir().mkpath(onDisk(relative)));
        QString step;
        for (const QString& name : relative.split(QLatin1Char('/'))) {
            step += (step.isEmpty() ? QString() : QStringLiteral("/")) + name;
            ASSERT_TRUE(VsftpdServer::giveToServerUser(onDisk(step)));
        }
    }

    void makeFile(const QString& relative, const QByteArray& content = "x")
    {
        QFile file(onDisk(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(content), content.size());
        file.close();
        ASSERT_TRUE(VsftpdServer::giveToServerUser(onDisk(relative)));
    }

    // Several entries at once, each holding "x"; a name ending in '/' is a folder.
    void makeTree(const std::vector<const char*>& entries)
    {
        for (const char* entry : entries) {
            const QString relative = QString::fromLatin1(entry);
            if (relative.endsWith(QLatin1Char('/')))
                makeFolder(relative.chopped(1));
            else
                makeFile(relative);
        }
    }

    void makeLink(const QString& relative, const QString& target)
    {
        ASSERT_EQ(::symlink(QFile::encodeName(target).constData(),
                            QFile::encodeName(onDisk(relative)).constData()),
                  0);
    }

    // An entry named by the bytes a server keeps, whatever encoding they are in; it belongs to
    // the server's user, as an upload would.
    void makeRawEntry(const QByteArray& relative, bool folder)
    {
        const QByteArray path = QFile::encodeName(server->pubPath()) + '/' + relative;
        if (folder) {
            ASSERT_EQ(::mkdir(path.constData(), 0755), 0) << path.toHex().toStdString();
        } else {
            const int descriptor = ::open(path.constData(), O_CREAT | O_WRONLY, 0644);
            ASSERT_GE(descriptor, 0) << path.toHex().toStdString();
            ::close(descriptor);
        }
        const passwd* user = ::getpwnam("ftp");
        ASSERT_NE(user, nullptr);
        ASSERT_EQ(::chown(path.constData(), user->pw_uid, user->pw_gid), 0);
    }

    bool rawExists(const QByteArray& relative) const
    {
        struct stat info {};
        const QByteArray path = QFile::encodeName(server->pubPath()) + '/' + relative;
        return ::lstat(path.constData(), &info) == 0;
    }

    void enter(const QString& folder)
    {
        remote.setPathBoxText(folder);
        session->post(QM_NAVIGATE);
        finishPending();
    }

    // Logs on and enters the folder, as typing it into the remote path box does.
    void connectInto(const QString& folder)
    {
        SessionEnvironment environment;
        environment.registry = &registry;
        environment.remote = &remote;
        environment.engineLock = &engineLock;
        environment.prompt = &prompt;
        environment.networkTimeout = std::chrono::milliseconds(5000);
        session =
            std::make_unique<SessionThread>(LogonRecord{server->host(), QStringLiteral("anonymous"),
                                                        server->port(), QStringLiteral("guest")},
                                            environment);
        QObject::connect(session.get(), &SessionThread::logAppended, [this](const QString& text) {
            std::lock_guard<std::mutex> hold(outputLock);
            log << text;
        });
        QObject::connect(session.get(), &SessionThread::remoteListReady,
                         [this](const QVector<CListItem>& rows) {
                             std::lock_guard<std::mutex> hold(outputLock);
                             lists.append(rows);
                         });
        // A flag rather than QSignalSpy::wait, which misses a signal sent before it starts
        // waiting: the session thread may log on before this thread gets there.
        QObject::connect(session.get(), &SessionThread::loggedOn, [this] { loggedOn = true; });
        session->start();
        ASSERT_TRUE(QTest::qWaitFor([this] { return loggedOn.load(); }, signalWaitMs));
        remote.setPathBoxText(folder);
        session->post(QM_NAVIGATE);
        finishPending();
        ASSERT_EQ(remote.lastVisited(), folder);
    }

    void post(int message, const QString& a, const QString& b = QString(),
              const QString& c = QString())
    {
        auto record = std::make_unique<ActionRecord>(a, b);
        record->c = c;
        session->post(message, std::move(record));
    }

    // Requests run in posting order: once a later logon request is answered, every earlier
    // request has been carried out.
    void finishPending()
    {
        auto mailbox = std::make_shared<Mailbox>();
        session->post(QM_LOGON_REQUEST, std::make_unique<LogonRequest>(mailbox));
        ASSERT_TRUE(mailbox->take(std::chrono::milliseconds(3 * signalWaitMs)).has_value());
    }

    // Every command the server received, in order.
    QStringList commands() const
    {
        static const QRegularExpression line(QStringLiteral("FTP command: Client \"[^\"]*\", "
                                                            "\"(.*)\"$"),
                                             QRegularExpression::MultilineOption);
        QStringList found;
        auto matches = line.globalMatch(server->protocolLog());
        while (matches.hasNext())
            found << matches.next().captured(1);
        return found;
    }

    QStringList commands(const QStringList& verbs) const
    {
        QStringList found;
        const QStringList all = commands();
        for (const QString& command : all) {
            if (verbs.contains(command.section(QLatin1Char(' '), 0, 0)))
                found << command;
        }
        return found;
    }

    // Where the session stands after its last request: the folder it last changed to.
    std::string lastCwd() const
    {
        const QStringList changes = commands().filter(QStringLiteral("CWD"));
        return changes.isEmpty() ? std::string("<none>") : changes.last().toStdString();
    }

    // The commands that change the server's tree, in order.
    std::string changesSent() const
    {
        return joined(commands({QStringLiteral("DELE"), QStringLiteral("RMD"),
                                QStringLiteral("RNFR"), QStringLiteral("RNTO")}));
    }

    QStringList logLines() const
    {
        std::lock_guard<std::mutex> hold(outputLock);
        return log;
    }

    QVector<QVector<CListItem>> listsShown() const
    {
        std::lock_guard<std::mutex> hold(outputLock);
        return lists;
    }

    QStringList lastListNames() const
    {
        const QVector<QVector<CListItem>> shown = listsShown();
        return shown.isEmpty() ? QStringList() : namesOf(shown.last());
    }

    QTemporaryDir lockFolder;
    std::unique_ptr<VsftpdServer> server;
    SessionRegistry registry;
    RemoteBrowserState remote;
    NamedMutex engineLock{QStringLiteral("mutex1"), lockFolder.path()};
    ScriptedPrompt prompt;
    std::unique_ptr<SessionThread> session;
    mutable std::mutex outputLock; // guards log and lists, written on the session thread
    QStringList log;
    QVector<QVector<CListItem>> lists;
    std::atomic<bool> loggedOn{false};
};

// ---- delete ----

TEST_F(SessionRemoteOperationsTest, NestedFolderLosesEveryFileThenItsFoldersDeepestFirst)
{
    makeTree({"tree/sub/deeper/", "tree/empty/", "tree/a.txt", "tree/b.txt", "tree/sub/c.txt",
              "tree/sub/deeper/d.txt", "kept.txt"});
    connectInto(QStringLiteral("/pub"));

    post(QM_DELETE_TREE, QStringLiteral("tree"));
    finishPending();

    QStringList deletes = commands({QStringLiteral("DELE")});
    deletes.sort();
    EXPECT_EQ(joined(deletes), joined({QStringLiteral("DELE /pub/tree/a.txt"),
                                       QStringLiteral("DELE /pub/tree/b.txt"),
                                       QStringLiteral("DELE /pub/tree/sub/c.txt"),
                                       QStringLiteral("DELE /pub/tree/sub/deeper/d.txt")}));
    const QStringList changes = commands({QStringLiteral("DELE"), QStringLiteral("RMD")});
    ASSERT_FALSE(changes.isEmpty());
    EXPECT_EQ(changes.last().toStdString(), "RMD /pub/tree");
    EXPECT_EQ(commands({QStringLiteral("RMD")}).size(), 4);
    // A folder is removed only after everything below it.
    for (qsizetype i = 0; i < changes.size(); ++i) {
        if (!changes[i].startsWith(QLatin1String("RMD ")))
            continue;
        const QString below = changes[i].mid(4) + QLatin1Char('/');
        for (qsizetype later = i + 1; later < changes.size(); ++later)
            EXPECT_FALSE(changes[later].section(QLatin1Char(' '), 1).startsWith(below))
                << changes[later].toStdString() << " after " << changes[i].toStdString();
    }
    EXPECT_FALSE(exists(onDisk(QStringLiteral("tree"))));
    EXPECT_TRUE(exists(onDisk(QStringLiteral("kept.txt"))));
    EXPECT_TRUE(logLines().contains(QStringLiteral("删除tree成功\r\n")));
    EXPECT_EQ(joined(lastListNames()), "..|kept.txt");
    // The session goes back to the folder the pane shows.
    EXPECT_EQ(lastCwd(), "CWD /pub");
}

TEST_F(SessionRemoteOperationsTest, LinksInsideADeletedFolderGoWithoutWhatTheyPointTo)
{
    makeTree({"outside/inner/", "outside/keep.txt", "outside/inner/deep.txt", "tree/sub/",
              "tree/sub/s.txt"});
    makeLink(QStringLiteral("tree/relative"), QStringLiteral("../outside"));
    makeLink(QStringLiteral("tree/absolute"), QStringLiteral("/pub/outside"));
    makeLink(QStringLiteral("tree/sub/up"), QStringLiteral(".."));
    connectInto(QStringLiteral("/pub"));

    post(QM_DELETE_TREE, QStringLiteral("tree"));
    finishPending();

    EXPECT_TRUE(exists(onDisk(QStringLiteral("outside/keep.txt"))));
    EXPECT_TRUE(exists(onDisk(QStringLiteral("outside/inner/deep.txt"))));
    EXPECT_FALSE(exists(onDisk(QStringLiteral("tree"))));
    const QStringList deletes = commands({QStringLiteral("DELE")});
    for (const char* link :
         {"DELE /pub/tree/relative", "DELE /pub/tree/absolute", "DELE /pub/tree/sub/up"})
        EXPECT_TRUE(deletes.contains(QString::fromLatin1(link))) << link;
    for (const QString& command : commands()) {
        for (const char* through :
             {"/pub/tree/relative/", "/pub/tree/absolute/", "/pub/tree/sub/up/", "/pub/outside"})
            EXPECT_FALSE(command.contains(QString::fromLatin1(through))) << command.toStdString();
    }
    EXPECT_TRUE(logLines().contains(QStringLiteral("删除tree成功\r\n")));
}

struct DeleteCase {
    const char* name;
    int message;
    const char* folder; // entered before the delete
    const char* entry;
    const char* logLine;
    bool remains; // the entry is there, and listed, after the delete
};

class DeleteOutcomeTest : public SessionRemoteOperationsTest,
                          public ::testing::WithParamInterface<DeleteCase> {};

// "locked" belongs to root, so the server's user can neither delete in it nor empty it.
TEST_P(DeleteOutcomeTest, LogsWhetherTheServerDeleted)
{
    const DeleteCase& row = GetParam();
    makeTree({"a.txt", "done/sub/", "done/sub/x.txt"});
    ASSERT_TRUE(QDir().mkpath(onDisk(QStringLiteral("locked"))));
    makeFile(QStringLiteral("locked/x.txt"));
    connectInto(QString::fromLatin1(row.folder));
    const QString entry = QString::fromLatin1(row.entry);
    const QString path =
        server->rootPath() + QString::fromLatin1(row.folder) + QLatin1Char('/') + entry;
    const int listsBefore = listsShown().size();

    post(row.message, entry);
    finishPending();

    EXPECT_EQ(logLines().last().toStdString(), row.logLine);
    EXPECT_EQ(exists(path), row.remains);
    // The list is shown again after every delete, whatever its outcome.
    ASSERT_EQ(listsShown().size(), listsBefore + 1);
    EXPECT_EQ(lastListNames().contains(entry), row.remains);
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, DeleteOutcomeTest,
    ::testing::Values(
        DeleteCase{"FileDeleted", QM_DELETE_FILE, "/pub", "a.txt", "删除a.txt成功\r\n", false},
        DeleteCase{"TreeDeleted", QM_DELETE_TREE, "/pub", "done", "删除done成功\r\n", false},
        DeleteCase{"FileRefused", QM_DELETE_FILE, "/pub/locked", "x.txt", "删除x.txt失败\r\n",
                   true},
        DeleteCase{"TreeRefused", QM_DELETE_TREE, "/pub", "locked", "删除locked失败\r\n", true},
        DeleteCase{"MissingFile", QM_DELETE_FILE, "/pub", "nothing.txt", "删除nothing.txt失败\r\n",
                   false}),
    caseName);

TEST_F(SessionRemoteOperationsTest, NamesForTheFolderItselfOrItsParentDeleteNothing)
{
    makeTree({"a.txt", "inner/", "inner/b.txt"});
    connectInto(QStringLiteral("/pub/inner"));

    post(QM_DELETE_TREE, QStringLiteral(".."));
    post(QM_DELETE_TREE, QString());
    post(QM_DELETE_FILE, QStringLiteral(".."));
    post(QM_DELETE_FILE, QString());
    finishPending();

    EXPECT_EQ(joined(commands({QStringLiteral("DELE"), QStringLiteral("RMD")})), "");
    EXPECT_TRUE(exists(onDisk(QStringLiteral("a.txt"))));
    EXPECT_TRUE(exists(onDisk(QStringLiteral("inner/b.txt"))));
    EXPECT_EQ(joined(logLines().filter(QStringLiteral("失败"))),
              "删除..失败\r\n|删除失败\r\n|删除..失败\r\n|删除失败\r\n");
}

// Names are kept whole however long the path grows: nothing is cut at 259 characters.
TEST_F(SessionRemoteOperationsTest, PathsLongerThan259CharactersAreSentWhole)
{
    const QString deep = QString(100, QLatin1Char('a')) + QLatin1Char('/') +
                         QString(100, QLatin1Char('b')) + QLatin1Char('/') +
                         QString(80, QLatin1Char('c'));
    makeFolder(deep);
    makeFile(deep + QStringLiteral("/file.txt"));
    makeFile(deep + QStringLiteral("/other.txt"));
    const QString folder = QStringLiteral("/pub/") + deep;
    ASSERT_GT(folder.size(), 259);
    connectInto(folder);

    post(QM_DELETE_FILE, QStringLiteral("file.txt"));
    post(QM_SEARCH, QStringLiteral("o"));
    finishPending();

    EXPECT_EQ(remote.currentFolder(), folder);
    EXPECT_TRUE(
        commands().contains(QStringLiteral("DELE ") + folder + QStringLiteral("/file.txt")));
    EXPECT_EQ(logLines().filter(QStringLiteral("删除")).last().toStdString(),
              "删除file.txt成功\r\n");
    EXPECT_FALSE(exists(onDisk(deep + QStringLiteral("/file.txt"))));
    EXPECT_EQ(joined(lastListNames()), "other.txt");
    EXPECT_EQ(lastCwd(), "CWD " + folder.toStdString());
}

// ---- rename and move ----

struct OverwriteCase {
    const char* name;
    const char* flag;
    std::vector<PromptAnswer> answers;
    QStringList questions;
    bool replaced;
};

class RenameOverwriteTest : public SessionRemoteOperationsTest,
                            public ::testing::WithParamInterface<OverwriteCase> {};

TEST_P(RenameOverwriteTest, ReplacesTheExistingFileOnlyWhenTheUserAgrees)
{
    const OverwriteCase& row = GetParam();
    makeFile(QStringLiteral("a.txt"), "new");
    makeFile(QStringLiteral("b.txt"), "old");
    connectInto(QStringLiteral("/pub"));
    for (PromptAnswer answer : row.answers)
        prompt.answerNext(answer);

    post(QM_RENAME, QStringLiteral("a.txt"), QStringLiteral("b.txt"),
         QString::fromLatin1(row.flag));
    finishPending();

    EXPECT_EQ(joined(prompt.texts()), joined(row.questions));
    for (const ScriptedPrompt::Question& question : prompt.asked()) {
        EXPECT_EQ(question.caption, sameNameCaption);
        EXPECT_EQ(question.buttons, PromptButtons::YesNo);
    }
    if (row.replaced) {
        EXPECT_EQ(changesSent(), "DELE /pub/b.txt|RNFR a.txt|RNTO b.txt");
        EXPECT_FALSE(exists(onDisk(QStringLiteral("a.txt"))));
        EXPECT_EQ(contentOf(onDisk(QStringLiteral("b.txt"))), "new");
    } else {
        EXPECT_EQ(changesSent(), "");
        EXPECT_EQ(contentOf(onDisk(QStringLiteral("a.txt"))), "new");
        EXPECT_EQ(contentOf(onDisk(QStringLiteral("b.txt"))), "old");
    }
}

const QString renameQuestion = QStringLiteral("b.txt已存在是否覆盖");
const QString dialogQuestion = QStringLiteral("文件b.txt已存在是否覆盖");

INSTANTIATE_TEST_SUITE_P(
    Answers, RenameOverwriteTest,
    ::testing::Values(OverwriteCase{"InPlaceYes", "", {PromptAnswer::Yes}, {renameQuestion}, true},
                      OverwriteCase{"InPlaceNo", "", {PromptAnswer::No}, {renameQuestion}, false},
                      OverwriteCase{"DialogYesYes",
                                    "ask",
                                    {PromptAnswer::Yes, PromptAnswer::Yes},
                                    {dialogQuestion, renameQuestion},
                                    true},
                      OverwriteCase{"DialogNo", "ask", {PromptAnswer::No}, {dialogQuestion}, false},
                      OverwriteCase{"DialogYesNo",
                                    "ask",
                                    {PromptAnswer::Yes, PromptAnswer::No},
                                    {dialogQuestion, renameQuestion},
                                    false}),
    caseName);

TEST_F(SessionRemoteOperationsTest, RenameOntoAFolderEmptiesAndRemovesItFirst)
{
    makeFile(QStringLiteral("a.txt"), "new");
    makeTree({"dir/sub/", "dir/sub/x.txt"});
    connectInto(QStringLiteral("/pub"));

    post(QM_RENAME, QStringLiteral("a.txt"), QStringLiteral("dir"));
    finishPending();

    EXPECT_EQ(joined(prompt.texts()), "dir已存在是否覆盖");
    EXPECT_EQ(changesSent(),
              "DELE /pub/dir/sub/x.txt|RMD /pub/dir/sub|RMD /pub/dir|RNFR a.txt|RNTO dir");
    EXPECT_EQ(contentOf(onDisk(QStringLiteral("dir"))), "new");
}

// vsftpd lists what a link points to when asked for the link itself; the overwrite must
// still remove only the link.
TEST_F(SessionRemoteOperationsTest, RenameOntoALinkToAFolderReplacesOnlyTheLink)
{
    makeFile(QStringLiteral("a.txt"), "new");
    makeTree({"outside/", "outside/keep.txt"});
    makeLink(QStringLiteral("target"), QStringLiteral("outside"));
    connectInto(QStringLiteral("/pub"));

    post(QM_RENAME, QStringLiteral("a.txt"), QStringLiteral("target"));
    finishPending();

    EXPECT_EQ(joined(prompt.texts()), "target已存在是否覆盖");
    EXPECT_EQ(changesSent(), "DELE /pub/target|RNFR a.txt|RNTO target");
    EXPECT_TRUE(exists(onDisk(QStringLiteral("outside/keep.txt"))));
    EXPECT_FALSE(QFileInfo(onDisk(QStringLiteral("target"))).isSymLink());
    EXPECT_EQ(contentOf(onDisk(QStringLiteral("target"))), "new");
}

TEST_F(SessionRemoteOperationsTest, RenameOntoItselfAsksNothingAndDeletesNothing)
{
    makeFile(QStringLiteral("a.txt"), "mine");
    makeFolder(QStringLiteral("sub"));
    connectInto(QStringLiteral("/pub"));
    const std::vector<std::pair<QString, QString>> sameEntry = {
        {QStringLiteral("a.txt"), QStringLiteral("a.txt")},
        {QStringLiteral("a.txt"), QStringLiteral("/pub/a.txt")},
        {QStringLiteral("a.txt"), QStringLiteral("./a.txt")},
        {QStringLiteral("/pub/a.txt"), QStringLiteral("/pub//a.txt")},
        {QStringLiteral("a.txt"), QStringLiteral("sub/../a.txt")},
        {QStringLiteral("sub"), QStringLiteral("sub/")},
    };
    for (const auto& [from, to] : sameEntry) {
        post(QM_RENAME, from, to);
        post(QM_RENAME, from, to, QString(ActionRecord::askBeforeRename));
    }
    finishPending();

    EXPECT_EQ(joined(prompt.texts()), "");
    EXPECT_EQ(changesSent(), "");
    EXPECT_EQ(contentOf(onDisk(QStringLiteral("a.txt"))), "mine");
    EXPECT_TRUE(QFileInfo(onDisk(QStringLiteral("sub"))).isDir());
}

// Where letter case matters another spelling of a name is another entry: the overwrite question
// applies as for any other name.
struct LetterCaseCase {
    const char* name;
    std::vector<const char*> tree;
    const char* to;
    const char* questions;
    const char* changes;
};

class RenameLetterCaseTest : public SessionRemoteOperationsTest,
                             public ::testing::WithParamInterface<LetterCaseCase> {};

TEST_P(RenameLetterCaseTest, AnotherSpellingIsAnotherEntry)
{
    const LetterCaseCase& row = GetParam();
    makeFile(QStringLiteral("A.txt"), "upper");
    makeTree(row.tree);
    connectInto(QStringLiteral("/pub"));

    post(QM_RENAME, QStringLiteral("A.txt"), QString::fromLatin1(row.to));
    finishPending();

    EXPECT_EQ(joined(prompt.texts()), row.questions);
    EXPECT_EQ(changesSent(), row.changes);
    EXPECT_EQ(contentOf(onDisk(QString::fromLatin1(row.to))), "upper");
    EXPECT_FALSE(exists(onDisk(QStringLiteral("A.txt"))));
}

INSTANTIATE_TEST_SUITE_P(
    Targets, RenameLetterCaseTest,
    ::testing::Values(LetterCaseCase{"NoSuchEntry", {}, "a.txt", "", "RNFR A.txt|RNTO a.txt"},
                      LetterCaseCase{"ExistingFile",
                                     {"a.txt"},
                                     "a.txt",
                                     "a.txt已存在是否覆盖",
                                     "DELE /pub/a.txt|RNFR A.txt|RNTO a.txt"}),
    caseName);

TEST_F(SessionRemoteOperationsTest, MoveSendsFullPathsAndReturnsToTheShownFolder)
{
    makeFile(QStringLiteral("a.txt"), "moving");
    makeFolder(QStringLiteral("incoming"));
    connectInto(QStringLiteral("/pub"));

    post(QM_RENAME, QStringLiteral("/pub/a.txt"), QStringLiteral("/pub/incoming/a.txt"));
    finishPending();

    EXPECT_TRUE(prompt.texts().isEmpty());
    const QStringList all = commands();
    const qsizetype from = all.indexOf(QStringLiteral("RNFR /pub/a.txt"));
    ASSERT_GE(from, 0) << all.join(QLatin1Char('|')).toStdString();
    ASSERT_LT(from + 3, all.size());
    EXPECT_EQ(joined(all.mid(from, 3)), "RNFR /pub/a.txt|RNTO /pub/incoming/a.txt|CWD /pub");
    EXPECT_FALSE(exists(onDisk(QStringLiteral("a.txt"))));
    EXPECT_EQ(contentOf(onDisk(QStringLiteral("incoming/a.txt"))), "moving");
}

// ---- new folder and search ----

struct NewFolderCase {
    const char* name;
    bool exists;
};

class NewFolderTest : public SessionRemoteOperationsTest,
                      public ::testing::WithParamInterface<NewFolderCase> {};

TEST_P(NewFolderTest, CreatesOnlyWhatIsNotThere)
{
    makeTree({"docs/", "docs/readme.txt", "notes"});
    connectInto(QStringLiteral("/pub"));
    const QString name = QString::fromLatin1(GetParam().name);
    const int listsBefore = listsShown().size();

    post(QM_MAKE_FOLDER, name);
    finishPending();

    const QStringList made = commands({QStringLiteral("MKD")});
    if (GetParam().exists) {
        ASSERT_EQ(prompt.asked().size(), 1u);
        EXPECT_EQ(prompt.asked()[0].text.toStdString(), "文件夹" + name.toStdString() + "已存在");
        EXPECT_EQ(prompt.asked()[0].caption, sameNameCaption);
        EXPECT_EQ(prompt.asked()[0].buttons, PromptButtons::Ok);
        EXPECT_TRUE(made.isEmpty());
    } else {
        EXPECT_TRUE(prompt.asked().empty());
        EXPECT_EQ(joined(made), "MKD " + name.toStdString());
        EXPECT_TRUE(QFileInfo(onDisk(name)).isDir());
    }
    ASSERT_EQ(listsShown().size(), listsBefore + 1);
    EXPECT_TRUE(lastListNames().contains(name));
}

INSTANTIATE_TEST_SUITE_P(Names, NewFolderTest,
                         ::testing::Values(NewFolderCase{"docs", true},
                                           NewFolderCase{"notes", true},
                                           NewFolderCase{"fresh", false}),
                         caseName);

TEST_F(SessionRemoteOperationsTest, SearchShowsOnlyNamesStartingWithThePrefix)
{
    makeTree({"abc.txt", "ab", "xab.txt", "Abc.txt", "a.txt", "abdir/", "zz/"});
    connectInto(QStringLiteral("/pub"));

    post(QM_SEARCH, QStringLiteral("ab"));
    finishPending();

    QStringList names = lastListNames();
    ASSERT_EQ(names.size(), 3) << names.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(names.first().toStdString(), "abdir"); // folders above files
    names.sort();
    EXPECT_EQ(joined(names), "ab|abc.txt|abdir");
    EXPECT_EQ(lastCwd(), "CWD /pub");
}

// ---- names in the server's own encoding ----

QString text(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

QByteArray gbk(const char* utf8)
{
    return TextCodec::toGbk(text(utf8));
}

// A default vsftpd keeps the UTF-8 bytes clients send and never announces UTF8.
TEST_F(SessionRemoteOperationsTest, Utf8NamesOnADefaultServerAreReadAndSentAsUtf8)
{
    const QByteArray folder = "中文文件夹";
    makeRawEntry(folder, true);
    makeRawEntry(folder + "/说明.txt", false);
    connectInto(QStringLiteral("/pub"));
    EXPECT_TRUE(lastListNames().contains(text("中文文件夹"))) << joined(lastListNames());

    const QString inside = text("/pub/中文文件夹");
    enter(inside);
    ASSERT_EQ(remote.lastVisited(), inside);
    EXPECT_EQ(joined(lastListNames()), joined({QStringLiteral(".."), text("说明.txt")}));

    post(QM_MAKE_FOLDER, text("新建文件夹"));
    post(QM_RENAME, text("说明.txt"), text("读我.txt"));
    finishPending();
    EXPECT_TRUE(rawExists(folder + "/新建文件夹"));
    EXPECT_TRUE(rawExists(folder + "/读我.txt"));
    EXPECT_FALSE(rawExists(folder + "/说明.txt"));

    // A transfer worker borrowing the logon record sends this folder's names as UTF-8 too.
    auto worker = std::make_shared<Mailbox>();
    session->post(QM_LOGON_REQUEST, std::make_unique<LogonRequest>(worker));
    std::optional<Mail> answer = worker->take(std::chrono::milliseconds(signalWaitMs));
    ASSERT_TRUE(answer.has_value());
    const auto* logon = dynamic_cast<LogonPayload*>(answer->payload.get());
    ASSERT_TRUE(logon != nullptr && logon->encodings != nullptr);
    EXPECT_EQ(logon->encodings->bytesOf(inside + text("/读我.txt")),
              QByteArray("/pub/中文文件夹/读我.txt"));

    post(QM_DELETE_TREE, text("新建文件夹"));
    post(QM_DELETE_FILE, text("读我.txt"));
    finishPending();
    EXPECT_FALSE(rawExists(folder + "/新建文件夹"));
    EXPECT_FALSE(rawExists(folder + "/读我.txt"));
    EXPECT_TRUE(logLines().contains(text("删除新建文件夹成功\r\n")));
    EXPECT_TRUE(logLines().contains(text("删除读我.txt成功\r\n")));
}

// A default vsftpd keeps whatever bytes clients sent: one GBK name among UTF-8 ones changes
// nothing about how the others read, and each goes back to the server as it was listed.
TEST_F(SessionRemoteOperationsTest, MixedFolderReadsEveryNameOnItsOwnAndSendsItBackAsListed)
{
    const QByteArray gbkFolder = gbk("中文目录");
    makeRawEntry(gbkFolder, true);
    makeRawEntry(gbkFolder + '/' + gbk("文件.txt"), false);
    makeRawEntry("中文文件夹", true);
    makeRawEntry("中文文件夹/a.txt", false);
    makeRawEntry("资料.txt", false);
    connectInto(QStringLiteral("/pub"));
    QStringList names = lastListNames();
    names.sort();
    EXPECT_EQ(joined(names), joined({QStringLiteral(".."), text("中文文件夹"), text("中文目录"),
                                     text("资料.txt")}));

    enter(text("/pub/中文文件夹"));
    EXPECT_EQ(joined(lastListNames()), "..|a.txt");
    enter(QStringLiteral("/pub"));
    post(QM_MAKE_FOLDER, text("新建文件夹"));
    finishPending();
    EXPECT_TRUE(rawExists("新建文件夹"));

    enter(text("/pub/中文目录"));
    EXPECT_EQ(joined(lastListNames()), joined({QStringLiteral(".."), text("文件.txt")}));
    enter(QStringLiteral("/pub"));
    post(QM_DELETE_TREE, text("中文文件夹"));
    finishPending();
    EXPECT_FALSE(rawExists("中文文件夹"));
    EXPECT_TRUE(rawExists(gbkFolder));
}

// A path typed into the box names folders that may never have been listed.
TEST_F(SessionRemoteOperationsTest, ATypedPathIsTriedInUtf8ThenInGbk)
{
    makeRawEntry(gbk("旧目录"), true);
    makeRawEntry("新目录", true);
    connectInto(text("/pub/新目录"));
    connectInto(text("/pub/旧目录"));
}

// ---- links, refusals ----

TEST_F(SessionRemoteOperationsTest, ALinkToAFolderIsShownAndEnteredAsAFolder)
{
    makeTree({"real/", "real/inside.txt", "file.txt"});
    makeLink(QStringLiteral("linked"), QStringLiteral("real"));
    makeLink(QStringLiteral("shortcut"), QStringLiteral("file.txt"));
    connectInto(QStringLiteral("/pub"));
    const QVector<CListItem> rows = listsShown().last();
    const auto row = [&rows](const char* name) {
        return *std::find_if(rows.begin(), rows.end(),
                             [name](const CListItem& r) { return r.name == QLatin1String(name); });
    };
    EXPECT_TRUE(row("linked").isFolder);
    EXPECT_FALSE(row("shortcut").isFolder);
    EXPECT_EQ(lastCwd(), "CWD /pub");

    enter(QStringLiteral("/pub/linked"));
    EXPECT_EQ(joined(lastListNames()), "..|inside.txt");
    enter(QStringLiteral("/pub"));
    post(QM_DELETE_TREE, QStringLiteral("linked"));
    finishPending();
    EXPECT_FALSE(exists(onDisk(QStringLiteral("linked"))));
    EXPECT_TRUE(exists(onDisk(QStringLiteral("real/inside.txt"))));
}

TEST_F(SessionRemoteOperationsTest, ARefusedNewFolderLogsTheServersReply)
{
    connectInto(QStringLiteral("/"));
    post(QM_MAKE_FOLDER, QStringLiteral("locked"));
    finishPending();
    EXPECT_TRUE(logLines().contains(
        QStringLiteral("服务器拒绝了 MKD locked:550 Create directory operation failed.\r\n")))
        << joined(logLines());
}

} // namespace
