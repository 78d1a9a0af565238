#include "accounts/CertificateTrust.h"

#include "support/NamedCases.h"
#include "support/ScriptedPrompt.h"
#include "support/TemporaryFolder.h"

#include <QFile>
#include <QFileDevice>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>

namespace {

using namedcases::caseName;
using namedcases::operator<<;

QString fingerprint(char digit)
{
    QStringList pairs;
    for (int i = 0; i < 32; ++i)
        pairs << QString(2, QLatin1Char(digit));
    return pairs.join(u':');
}

const QString fingerprintA = fingerprint('A');
const QString fingerprintB = fingerprint('B');

TlsCertificate certificate(const QString& sha256)
{
    return TlsCertificate{QStringLiteral("CN=example.com"),
                          QStringLiteral("CN=Example CA"),
                          QStringLiteral("2026-01-01 00:00:00"),
                          QStringLiteral("2027-01-01 00:00:00"),
                          sha256,
                          QStringLiteral("self-signed certificate")};
}

QByteArray line(const char* host, int port, const QString& sha256)
{
    return QByteArray(host) + '\t' + QByteArray::number(port) + '\t' + sha256.toLatin1() + '\n';
}

class TrustFixture : public ::testing::Test {
protected:
    QString trustFile() const { return folder.filePath(QStringLiteral("trust.dat")); }

    void writeTrustFile(const QByteArray& bytes) const
    {
        QFile file(trustFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QByteArray trustFileBytes() const
    {
        QFile file(trustFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    int asked(PromptButtons buttons) const
    {
        int count = 0;
        for (const auto& question : prompt.asked())
            count += question.buttons == buttons ? 1 : 0;
        return count;
    }

    TemporaryFolder folder{QStringLiteral("trust")};
    ScriptedPrompt prompt;
    QStringList log;
    CertificateTrust trust{prompt, trustFile(), [this](const QString& text) { log << text; }};
};

struct TrustCase {
    const char* name;
    QByteArray before; // the trust file
    bool acceptedOnceEarlier;
    const char* host;
    int port;
    std::deque<PromptAnswer> answers;
    bool accepted;
    int questions;
    int warnings;
    QByteArray after;
};

class CertificateTrustTest : public TrustFixture,
                             public ::testing::WithParamInterface<TrustCase> {};

TEST_P(CertificateTrustTest, DecidesAsRememberedOrAsAnswered)
{
    const TrustCase& row = GetParam();
    if (!row.before.isEmpty())
        writeTrustFile(row.before);
    if (row.acceptedOnceEarlier) {
        prompt.answerNext(PromptAnswer::TrustOnce);
        ASSERT_TRUE(trust.acceptCertificate(QString::fromLatin1(row.host), row.port,
                                            certificate(fingerprintA)));
    }
    const int questionsBefore = asked(PromptButtons::TrustChoice);
    for (PromptAnswer answer : row.answers)
        prompt.answerNext(answer);

    EXPECT_EQ(
        trust.acceptCertificate(QString::fromLatin1(row.host), row.port, certificate(fingerprintA)),
        row.accepted);
    EXPECT_EQ(asked(PromptButtons::TrustChoice) - questionsBefore, row.questions);
    EXPECT_EQ(asked(PromptButtons::Ok), row.warnings);
    EXPECT_EQ(trustFileBytes(), row.after);
}

INSTANTIATE_TEST_SUITE_P(
    Decisions, CertificateTrustTest,
    ::testing::Values(
        TrustCase{"RememberedSame",
                  line("example.com", 21, fingerprintA),
                  false,
                  "example.com",
                  21,
                  {},
                  true,
                  0,
                  0,
                  line("example.com", 21, fingerprintA)},
        TrustCase{"RememberedChanged",
                  line("example.com", 21, fingerprintB),
                  false,
                  "example.com",
                  21,
                  {PromptAnswer::TrustAlways},
                  false,
                  0,
                  1,
                  line("example.com", 21, fingerprintB)},
        TrustCase{"OtherPortIsAnotherServer",
                  line("example.com", 990, fingerprintA),
                  false,
                  "example.com",
                  21,
                  {PromptAnswer::No},
                  false,
                  1,
                  0,
                  line("example.com", 990, fingerprintA)},
        TrustCase{"AcceptedOnceEarlier", {}, true, "example.com", 21, {}, true, 0, 0, {}},
        TrustCase{"NewTrustedAlways",
                  {},
                  false,
                  "example.com",
                  21,
                  {PromptAnswer::TrustAlways},
                  true,
                  1,
                  0,
                  line("example.com", 21, fingerprintA)},
        TrustCase{"NewTrustedOnce",
                  {},
                  false,
                  "example.com",
                  21,
                  {PromptAnswer::TrustOnce},
                  true,
                  1,
                  0,
                  {}},
        TrustCase{"NewRefused", {}, false, "example.com", 21, {PromptAnswer::No}, false, 1, 0, {}},
        TrustCase{"AddedBesideOthers",
                  line("a.example.com", 21, fingerprintB),
                  false,
                  "example.com",
                  21,
                  {PromptAnswer::TrustAlways},
                  true,
                  1,
                  0,
                  line("a.example.com", 21, fingerprintB) + line("example.com", 21, fingerprintA)}),
    caseName);

TEST_F(TrustFixture, QuestionShowsWhatTheUserNeedsToJudge)
{
    prompt.answerNext(PromptAnswer::No);
    trust.acceptCertificate(QStringLiteral("::1"), 2121, certificate(fingerprintA));
    const auto questions = prompt.asked();
    ASSERT_EQ(questions.size(), 1u);
    const auto& question = questions.front();
    EXPECT_EQ(question.caption, QStringLiteral("证书验证失败"));
    EXPECT_EQ(question.buttons, PromptButtons::TrustChoice);
    for (const QString& part :
         {QStringLiteral("[::1]:2121"), QStringLiteral("self-signed certificate"),
          QStringLiteral("CN=example.com"), QStringLiteral("CN=Example CA"),
          QStringLiteral("2026-01-01 00:00:00"), QStringLiteral("2027-01-01 00:00:00"),
          fingerprintA})
        EXPECT_TRUE(question.text.contains(part)) << part.toStdString();
}

TEST_F(TrustFixture, TrustedAlwaysSurvivesTheRunInAPrivateFile)
{
    prompt.answerNext(PromptAnswer::TrustAlways);
    ASSERT_TRUE(trust.acceptCertificate(QStringLiteral("example.com"), 21,
                                        certificate(fingerprintA.toLower())));
    EXPECT_EQ(QFile::permissions(trustFile()), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                   QFileDevice::ReadUser | QFileDevice::WriteUser);

    ScriptedPrompt nextRunPrompt;
    CertificateTrust nextRun(nextRunPrompt, trustFile());
    EXPECT_TRUE(
        nextRun.acceptCertificate(QStringLiteral("example.com"), 21, certificate(fingerprintA)));
    EXPECT_TRUE(nextRunPrompt.asked().empty());
}

TEST_F(TrustFixture, ChangedCertificateIsRefusedWithAWarningAndALogLine)
{
    writeTrustFile(line("example.com", 21, fingerprintB));
    EXPECT_FALSE(
        trust.acceptCertificate(QStringLiteral("example.com"), 21, certificate(fingerprintA)));
    const auto questions = prompt.asked();
    ASSERT_EQ(questions.size(), 1u);
    const auto& warning = questions.front();
    EXPECT_EQ(warning.caption, QStringLiteral("证书已改变"));
    EXPECT_TRUE(warning.text.contains(fingerprintA) && warning.text.contains(fingerprintB) &&
                warning.text.contains(trustFile()))
        << warning.text.toStdString();
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log.first().contains(QStringLiteral("example.com:21")) &&
                log.first().endsWith(QStringLiteral("\r\n")));
}

struct DamagedCase {
    const char* name;
    QByteArray bytes;
};

class DamagedTrustFileTest : public TrustFixture,
                             public ::testing::WithParamInterface<DamagedCase> {};

// Nothing in a damaged file is trusted; the next "trust always" writes a sound file.
TEST_P(DamagedTrustFileTest, TrustsNothingAndIsReplacedWhole)
{
    writeTrustFile(GetParam().bytes);
    prompt.answerNext(PromptAnswer::TrustAlways);
    EXPECT_TRUE(
        trust.acceptCertificate(QStringLiteral("example.com"), 21, certificate(fingerprintA)));
    EXPECT_EQ(asked(PromptButtons::TrustChoice), 1);
    EXPECT_EQ(trustFileBytes(), line("example.com", 21, fingerprintA));
}

INSTANTIATE_TEST_SUITE_P(
    Damaged, DamagedTrustFileTest,
    ::testing::Values(
        DamagedCase{"Binary", QByteArray("\x00\xff\t\n\x13\x37\t\t", 8)},
        DamagedCase{"ShortFingerprint", QByteArray("example.com\t21\tAA:BB\n")},
        DamagedCase{"LowerCaseFingerprint", line("example.com", 21, fingerprintA.toLower())},
        DamagedCase{"PortOutOfRange", line("example.com", 70000, fingerprintA)},
        DamagedCase{"ExtraField", QByteArray("example.com\t21\tx\t") + fingerprintA.toLatin1()},
        DamagedCase{"TooLarge",
                    QByteArray(2 << 20, 'x') + '\n' + line("example.com", 21, fingerprintB)}),
    caseName);

TEST_F(TrustFixture, CertificateWithoutAFingerprintIsRefusedUnasked)
{
    EXPECT_FALSE(trust.acceptCertificate(QStringLiteral("h"), 21, certificate(QString())));
    EXPECT_TRUE(prompt.asked().empty());
}

TEST_F(TrustFixture, DecisionsFollowTheTrustFileToTheNewWorkPath)
{
    TemporaryFolder moved(QStringLiteral("trust-moved"));
    QFile movedFile(moved.filePath(QStringLiteral("trust.dat")));
    ASSERT_TRUE(movedFile.open(QIODevice::WriteOnly));
    movedFile.write(line("h", 21, fingerprintA));
    movedFile.close();
    trust.setTrustFile(movedFile.fileName());
    EXPECT_TRUE(trust.acceptCertificate(QStringLiteral("h"), 21, certificate(fingerprintA)));
    EXPECT_TRUE(prompt.asked().empty());
    EXPECT_EQ(CertificateTrust::pathIn(QStringLiteral("/w/")), QStringLiteral("/w/trust.dat"));
    EXPECT_TRUE(CertificateTrust::pathIn(QString()).isEmpty());
}

// Holds every question until the test lets it go, counting them.
class GatedPrompt : public Prompt {
public:
    PromptAnswer ask(const QString&, const QString&, PromptButtons) override
    {
        std::unique_lock<std::mutex> hold(mutex_);
        ++questions_;
        changed_.notify_all();
        changed_.wait_for(hold, std::chrono::seconds(10), [this] { return open_; });
        return PromptAnswer::TrustOnce;
    }
    bool waitForQuestion()
    {
        std::unique_lock<std::mutex> hold(mutex_);
        return changed_.wait_for(hold, std::chrono::seconds(5), [this] { return questions_ > 0; });
    }
    void open()
    {
        std::lock_guard<std::mutex> hold(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    int questions() const
    {
        std::lock_guard<std::mutex> hold(mutex_);
        return questions_;
    }

private:
    mutable std::mutex mutex_; // guards questions_ and open_
    std::condition_variable changed_;
    int questions_ = 0;
    bool open_ = false;
};

// A session and its transfer workers connecting at once ask the user once.
TEST(CertificateTrustConcurrency, ConnectionsAskingTogetherShareOneQuestion)
{
    GatedPrompt prompt;
    CertificateTrust trust(prompt, QString());
    const auto ask = [&trust] {
        return trust.acceptCertificate(QStringLiteral("h"), 21, certificate(fingerprintA));
    };
    auto first = std::async(std::launch::async, ask);
    ASSERT_TRUE(prompt.waitForQuestion());
    auto second = std::async(std::launch::async, ask);
    auto third = std::async(std::launch::async, ask);
    EXPECT_EQ(second.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
    prompt.open();
    EXPECT_TRUE(first.get());
    EXPECT_TRUE(second.get());
    EXPECT_TRUE(third.get());
    EXPECT_EQ(prompt.questions(), 1);
}

} // namespace
