#include "platform/Profile.h"
#include "platform/TextCodec.h"
#include "support/NamedCases.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <thread>
#include <vector>

namespace {

using namedcases::operator<<;
using namedcases::caseName;

QString text(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

QByteArray gbk(const char* utf8)
{
    return TextCodec::toGbk(text(utf8));
}

class ProfileFile {
public:
    ProfileFile() : path_(dir_.filePath(QStringLiteral("ftp.ini"))) {}

    const QString& path() const { return path_; }
    QString folder() const { return dir_.path(); }
    Profile profile() const { return Profile(path_); }

    void write(const QByteArray& bytes) const
    {
        QFile file(path_);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }

    QByteArray contents() const
    {
        QFile file(path_);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private:
    QTemporaryDir dir_;
    QString path_;
};

// ---------------------------------------------------------------------------------------------
// readInt

struct IntCase {
    const char* name;
    QByteArray file;
    const char* section;
    const char* key;
    int defaultValue;
    int expected;
};

class ProfileReadInt : public ::testing::TestWithParam<IntCase> {};

TEST_P(ProfileReadInt, ReadsLikeThePrivateProfileReader)
{
    const IntCase& c = GetParam();
    ProfileFile file;
    file.write(c.file);
    EXPECT_EQ(file.profile().readInt(text(c.section), text(c.key), c.defaultValue), c.expected);
}

const IntCase intCases[] = {
    {"Plain", "[S]\r\nk=42\r\n", "S", "k", 7, 42},
    {"LineFeedsOnly", "[S]\nk=42\n", "S", "k", 7, 42},
    {"NoFinalLineBreak", "[S]\nk=9", "S", "k", 7, 9},
    {"BlanksAroundEverything", "  [ S ]  \n\t k \t=  42  \n", "S", "k", 7, 42},
    {"LeadingDigitsOnly", "[S]\nk=12abc\n", "S", "k", 7, 12},
    {"NoDigitsReadsZero", "[S]\nk=abc\n", "S", "k", 7, 0},
    {"HexIsNotUnderstood", "[S]\nk=0x10\n", "S", "k", 7, 0},
    {"EmptyValueGivesDefault", "[S]\nk=\n", "S", "k", 7, 7},
    {"NegativeReadsZero", "[S]\nk=-5\n", "S", "k", 7, 0},
    {"PlusSign", "[S]\nk=+8\n", "S", "k", 7, 8},
    {"PastIntRangeSaturates", "[S]\nk=99999999999999999999\n", "S", "k", 7, INT_MAX},
    {"QuotesStripped", "[S]\nk=\"15\"\n", "S", "k", 7, 15},
    {"BlankInsideQuotes", "[S]\nk=\" 6\"\n", "S", "k", 7, 6},
    {"KeyAbsent", "[S]\nj=1\n", "S", "k", 7, 7},
    {"SectionAbsent", "[T]\nk=1\n", "S", "k", 7, 7},
    {"NamesIgnoreCase", "[addrescount]\nCOUNT=3\n", "AddresCount", "Count", 7, 3},
    {"FirstOfDuplicateKeys", "[S]\nk=1\nk=2\n", "S", "k", 7, 1},
    {"FirstOfDuplicateSections", "[S]\nk=1\n[S]\nk=2\n", "S", "k", 7, 1},
    {"KeyOfAnotherSection", "[T]\nk=5\n[S]\nj=1\n", "S", "k", 7, 7},
    {"LineWithoutEquals", "[S]\nk\n", "S", "k", 7, 7},
    {"EntryBeforeAnySection", "k=5\n[S]\n", "S", "k", 7, 7},
    {"UnclosedHeaderDoesNotLeak", "[S]\nj=1\n[T\nk=5\n", "S", "k", 7, 7},
    {"CommentIsNoEntry", "[S]\n;k=5\n", "S", "k", 7, 7},
    {"TextAfterHeader", "[S] ; note\nk=3\n", "S", "k", 7, 3},
    {"Utf8BomIgnored", "\xEF\xBB\xBF[S]\nk=4\n", "S", "k", 7, 4},
    {"EmptyFile", "", "S", "k", 7, 7},
};

INSTANTIATE_TEST_SUITE_P(Cases, ProfileReadInt, ::testing::ValuesIn(intCases), caseName);

// ---------------------------------------------------------------------------------------------
// readString

struct StringCase {
    const char* name;
    QByteArray file;
    const char* section;
    const char* key;
    const char* defaultValue;
    int bufferBytes;
    QString expected;
};

class ProfileReadString : public ::testing::TestWithParam<StringCase> {};

TEST_P(ProfileReadString, ReadsLikeThePrivateProfileReader)
{
    const StringCase& c = GetParam();
    ProfileFile file;
    file.write(c.file);
    EXPECT_EQ(file.profile().readString(text(c.section), text(c.key), text(c.defaultValue),
                                        c.bufferBytes),
              c.expected);
}

const QString chinese150 = QString(150, QChar(0x4E2D)); // "中", two bytes in GBK

const StringCase stringCases[] = {
    {"Plain", "[S]\r\nk=value\r\n", "S", "k", "d", 260, QStringLiteral("value")},
    {"Trimmed", "[S]\nk =  a b \t\n", "S", "k", "d", 260, QStringLiteral("a b")},
    {"DoubleQuotesStripped", "[S]\nk=\"a b\"\n", "S", "k", "d", 260, QStringLiteral("a b")},
    {"SingleQuotesStripped", "[S]\nk='x'\n", "S", "k", "d", 260, QStringLiteral("x")},
    {"LoneQuoteKept", "[S]\nk=\"\n", "S", "k", "d", 260, QStringLiteral("\"")},
    {"MismatchedQuotesKept", "[S]\nk=\"x'\n", "S", "k", "d", 260, QStringLiteral("\"x'")},
    {"InnerQuotesKept", "[S]\nk=a\"b\"\n", "S", "k", "d", 260, QStringLiteral("a\"b\"")},
    {"EmptyValueIsNotDefault", "[S]\nk=\n", "S", "k", "d", 260, QString()},
    {"AbsentKeyGivesDefault", "[S]\nj=1\n", "S", "k", "d", 260, QStringLiteral("d")},
    {"DefaultLosesTrailingBlanks", "", "S", "k", "d  ", 260, QStringLiteral("d")},
    {"DefaultCutToBuffer", "", "S", "k", "abcdef", 4, QStringLiteral("abc")},
    {"ValueKeepsLaterEquals", "[S]\nk=a=b\n", "S", "k", "d", 260, QStringLiteral("a=b")},
    {"ChineseValue", "[S]\nk=" + gbk("中文服务器") + "\n", "S", "k", "", 260, text("中文服务器")},
    {"ChineseNames", gbk("[服务器]\n地址=x\n"), "服务器", "地址", "d", 260, QStringLiteral("x")},
    {"AsciiCutAt259", "[S]\nk=" + QByteArray(300, 'x') + "\n", "S", "k", "", 260,
     QString(259, u'x')},
    {"ChineseNeverSplit", "[S]\nk=" + TextCodec::toGbk(chinese150) + "\n", "S", "k", "", 260,
     chinese150.left(129)},
    {"ChineseAfterOddPrefix", "[S]\nk=a" + TextCodec::toGbk(chinese150) + "\n", "S", "k", "", 260,
     u'a' + chinese150.left(129)},
    {"BufferOfOneHoldsNothing", "[S]\nk=abc\n", "S", "k", "", 1, QString()},
    {"BufferOfZeroHoldsNothing", "[S]\nk=abc\n", "S", "k", "", 0, QString()},
    {"NulEndsValue", QByteArray("[S]\nk=ab\0cd\n", 12), "S", "k", "", 260, QStringLiteral("ab")},
    {"InvalidByteReplaced", "[S]\nk=a\x81\n", "S", "k", "", 260,
     QStringLiteral("a") + QChar::ReplacementCharacter},
};

INSTANTIATE_TEST_SUITE_P(Cases, ProfileReadString, ::testing::ValuesIn(stringCases), caseName);

// 0x81 0x41 and 0x81 0x61 are two different characters; folding the trail byte's case would
// make them equal.
TEST(ProfileNames, TrailBytesAreNotCaseFolded)
{
    ProfileFile file;
    file.write("[S]\n\x81\x41=upper\n\x81\x61=lower\n");
    const Profile profile = file.profile();
    EXPECT_EQ(profile.readString(QStringLiteral("S"), TextCodec::fromGbk("\x81\x61")),
              QStringLiteral("lower"));
    EXPECT_EQ(profile.readString(QStringLiteral("s"), TextCodec::fromGbk("\x81\x41")),
              QStringLiteral("upper"));
}

// 0x81 0x5D is one character whose trail byte is "]".
TEST(ProfileNames, HeaderMayEndWithATrailBracket)
{
    ProfileFile file;
    file.write("[S]\nk=x\n[a\x81\x5D]\nk=y\n[b\x81\x5D\nk=z\n");
    const Profile profile = file.profile();
    EXPECT_EQ(profile.readString(TextCodec::fromGbk("a\x81\x5D"), QStringLiteral("k")),
              QStringLiteral("y"));
    EXPECT_EQ(profile.readString(TextCodec::fromGbk("b\x81"), QStringLiteral("k"),
                                 QStringLiteral("unclosed")),
              QStringLiteral("unclosed"));
}

TEST(ProfileReadStrings, ReadsSeveralKeysInKeyOrder)
{
    ProfileFile file;
    file.write("[S]\nb=2\na=1\n");
    EXPECT_EQ(
        file.profile().readStrings(QStringLiteral("S"),
                                   {QStringLiteral("a"), QStringLiteral("c"), QStringLiteral("b")},
                                   QStringLiteral("none")),
        QStringList({QStringLiteral("1"), QStringLiteral("none"), QStringLiteral("2")}));
}

TEST(ProfileMissingFile, GivesDefaultsAndCreatesNothing)
{
    QTemporaryDir dir;
    const Profile profile(dir.filePath(QStringLiteral("absent/ftp.ini")));
    EXPECT_EQ(profile.readInt(QStringLiteral("S"), QStringLiteral("k"), 5), 5);
    EXPECT_EQ(profile.readString(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("d")),
              QStringLiteral("d"));
    EXPECT_TRUE(profile.readSection(QStringLiteral("S")).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("absent"))));
}

TEST(ProfileMissingFile, AFolderInItsPlaceReadsAsDefaults)
{
    QTemporaryDir dir;
    const Profile profile(dir.path());
    EXPECT_EQ(profile.readInt(QStringLiteral("S"), QStringLiteral("k"), 5), 5);
}

// ---------------------------------------------------------------------------------------------
// readSection

struct SectionCase {
    const char* name;
    QByteArray file;
    const char* section;
    int bufferBytes;
    QStringList expected;
};

class ProfileReadSection : public ::testing::TestWithParam<SectionCase> {};

TEST_P(ProfileReadSection, ListsTheEntriesThatFit)
{
    const SectionCase& c = GetParam();
    ProfileFile file;
    file.write(c.file);
    EXPECT_EQ(file.profile().readSection(text(c.section), c.bufferBytes), c.expected);
}

const QByteArray threeEntries = "[S]\nA1=aaaa\nA2=bbbb\nA3=cccc\n";
const QString a1 = QStringLiteral("A1=aaaa");
const QString a2 = QStringLiteral("A2=bbbb");
const QString a3 = QStringLiteral("A3=cccc");

// Each 7-byte entry of threeEntries takes 8 bytes with its NUL; the list's closing NUL takes
// one more.
const SectionCase sectionCases[] = {
    {"InFileOrderSkippingOtherLines",
     "[S]\r\n b = 2 \r\n;c=3\r\njunk\r\n\r\na=\"1\"\r\n" + gbk("中=文") + "\r\n[T]\r\nx=9\r\n",
     "s",
     Profile::SectionBufferBytes,
     {QStringLiteral("b=2"), QStringLiteral("a=\"1\""), text("中=文")}},
    {"MissingSectionIsEmpty", "[T]\nx=9\n", "S", Profile::SectionBufferBytes, {}},
    {"StopsAtTheFirstEntryThatDoesNotFit",
     "[S]\nA1=" + QByteArray(40, 'x') + "\nA2=y\n",
     "S",
     20,
     {}},
    {"Buffer0", threeEntries, "S", 0, {}},
    {"Buffer8", threeEntries, "S", 8, {}},
    {"Buffer9", threeEntries, "S", 9, {a1}},
    {"Buffer16", threeEntries, "S", 16, {a1}},
    {"Buffer17", threeEntries, "S", 17, {a1, a2}},
    {"Buffer24", threeEntries, "S", 24, {a1, a2}},
    {"Buffer25", threeEntries, "S", 25, {a1, a2, a3}},
    {"Buffer2048", threeEntries, "S", 2048, {a1, a2, a3}},
};

INSTANTIATE_TEST_SUITE_P(Cases, ProfileReadSection, ::testing::ValuesIn(sectionCases), caseName);

// ---------------------------------------------------------------------------------------------
// writeString

TEST(ProfileWrite, FirstWriteCreatesFileAndSection)
{
    ProfileFile file;
    ASSERT_TRUE(
        file.profile().writeString(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("v")));
    EXPECT_EQ(file.contents(), QByteArray("[S]\r\nk=v\r\n"));
}

struct EditCase {
    const char* name;
    QByteArray before;
    const char* section;
    const char* key;
    const char* value;
    QByteArray after;
};

class ProfileEdit : public ::testing::TestWithParam<EditCase> {};

TEST_P(ProfileEdit, ChangesOnlyWhatIsWritten)
{
    const EditCase& c = GetParam();
    ProfileFile file;
    file.write(c.before);
    ASSERT_TRUE(file.profile().writeString(text(c.section), text(c.key), text(c.value)));
    EXPECT_EQ(file.contents(), c.after);
}

const EditCase editCases[] = {
    {"ReplacesInPlaceKeepingComments",
     "; head\r\n[S]\r\n  K = old \r\n; note\r\nz=1\r\n[T]\r\nk=x\r\n", "S", "k", "new",
     "; head\r\n[S]\r\nK=new\r\n; note\r\nz=1\r\n[T]\r\nk=x\r\n"},
    {"NewKeyAfterLastLineOfItsSection", "[S]\na=1\n\n[T]\nb=2\n", "S", "c", "3",
     "[S]\na=1\nc=3\n\n[T]\nb=2\n"},
    {"NewKeyInEmptySection", "[S]\r\n[T]\r\n", "S", "c", "3", "[S]\r\nc=3\r\n[T]\r\n"},
    {"NewKeyWhenNoFinalLineBreak", "[S]\na=1", "S", "c", "3", "[S]\na=1\nc=3"},
    {"NewSectionGoesAtTheEnd", "[S]\r\nk=v\r\n", "T", "j", "w", "[S]\r\nk=v\r\n[T]\r\nj=w\r\n"},
    {"NewSectionWhenNoFinalLineBreak", "[S]\na=1", "T", "b", "2", "[S]\na=1\n[T]\nb=2\n"},
    {"NamesMatchIgnoringCase", "[addres]\na1=x\n", "Addres", "A1", "y", "[addres]\na1=y\n"},
    {"EmptyValue", "[S]\nk=v\n", "S", "k", "", "[S]\nk=\n"},
    {"ChineseStoredAsGbk", "", "S", "k", "中文", "[S]\r\nk=" + gbk("中文") + "\r\n"},
    {"JunkLinesKept", "garbage\n[S\n=\n[S]\nk=1\n", "S", "k", "2", "garbage\n[S\n=\n[S]\nk=2\n"},
    {"BomKept", "\xEF\xBB\xBF[S]\nk=1\n", "S", "k", "2", "\xEF\xBB\xBF[S]\nk=2\n"},
};

INSTANTIATE_TEST_SUITE_P(Cases, ProfileEdit, ::testing::ValuesIn(editCases), caseName);

struct RefusedCase {
    const char* name;
    QString section;
    QString key;
    QString value;
};

class ProfileRefusedWrite : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(ProfileRefusedWrite, LeavesTheFileAsItWas)
{
    const RefusedCase& c = GetParam();
    ProfileFile file;
    file.write("[S]\nk=1\n");
    EXPECT_FALSE(file.profile().writeString(c.section, c.key, c.value));
    EXPECT_EQ(file.contents(), QByteArray("[S]\nk=1\n"));
    EXPECT_EQ(QDir(file.folder()).entryList(QDir::Files), QStringList(QStringLiteral("ftp.ini")));
}

const RefusedCase refusedCases[] = {
    {"LineFeedInValue", QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("a\n[T]")},
    {"CarriageReturnInValue", QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("a\rb")},
    {"NulInValue", QStringLiteral("S"), QStringLiteral("k"), QString(QChar(u'\0'))},
    {"ValueOutsideGbk", QStringLiteral("S"), QStringLiteral("k"), text("smile \xF0\x9F\x98\x80")},
    {"EqualsInKey", QStringLiteral("S"), QStringLiteral("a=b"), QStringLiteral("v")},
    {"EmptyKey", QStringLiteral("S"), QString(), QStringLiteral("v")},
    {"BlankKey", QStringLiteral("S"), QStringLiteral("  "), QStringLiteral("v")},
    {"KeyLikeHeader", QStringLiteral("S"), QStringLiteral("[x"), QStringLiteral("v")},
    {"KeyLikeComment", QStringLiteral("S"), QStringLiteral(";x"), QStringLiteral("v")},
    {"EmptySection", QString(), QStringLiteral("k"), QStringLiteral("v")},
    {"LineFeedInSection", QStringLiteral("S]\n[T"), QStringLiteral("k"), QStringLiteral("v")},
};

INSTANTIATE_TEST_SUITE_P(Cases, ProfileRefusedWrite, ::testing::ValuesIn(refusedCases), caseName);

TEST(ProfileWrite, MissingFolderFailsWithoutCreatingIt)
{
    QTemporaryDir dir;
    const Profile profile(dir.filePath(QStringLiteral("absent/ftp.ini")));
    EXPECT_FALSE(
        profile.writeString(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("v")));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("absent"))));
}

TEST(ProfileWrite, UnreadableTargetIsNeverReplaced)
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("ftp.ini"));
    ASSERT_TRUE(QDir().mkdir(target));
    EXPECT_FALSE(
        Profile(target).writeString(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("v")));
    EXPECT_TRUE(QFileInfo(target).isDir());
}

TEST(ProfileWrite, ASymlinkedFileStaysALink)
{
    ProfileFile file;
    file.write("[S]\nk=1\n");
    const QString link = file.folder() + QStringLiteral("/link.ini");
    ASSERT_TRUE(QFile::link(file.path(), link));
    ASSERT_TRUE(
        Profile(link).writeString(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("2")));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(file.contents(), QByteArray("[S]\nk=2\n"));
}

TEST(ProfileWrite, LeavesNoTemporaryFilesBehind)
{
    ProfileFile file;
    const Profile profile = file.profile();
    for (int round = 0; round < 5; ++round)
        ASSERT_TRUE(
            profile.writeString(QStringLiteral("S"), QStringLiteral("k"), QString::number(round)));
    EXPECT_EQ(QDir(file.folder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList(QStringLiteral("ftp.ini")));
    EXPECT_EQ(profile.readInt(QStringLiteral("S"), QStringLiteral("k"), -1), 4);
}

struct RoundTripCase {
    const char* name;
    QString written;
    QString readBack;
};

class ProfileRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(ProfileRoundTrip, ReadsBackWhatWasWritten)
{
    ProfileFile file;
    const Profile profile = file.profile();
    ASSERT_TRUE(profile.writeString(text("服务器"), QStringLiteral("A1"), GetParam().written));
    EXPECT_EQ(profile.readString(text("服务器"), QStringLiteral("a1"), QStringLiteral("absent")),
              GetParam().readBack);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileRoundTrip,
    ::testing::Values(
        RoundTripCase{"Plain", QStringLiteral("ftp.example.org"),
                      QStringLiteral("ftp.example.org")},
        RoundTripCase{"Empty", QString(), QString()},
        RoundTripCase{"ChinesePath", text("/home/用户/文档/"), text("/home/用户/文档/")},
        RoundTripCase{"BlanksAreTrimmed", QStringLiteral(" padded "), QStringLiteral("padded")},
        RoundTripCase{"QuotesAreStripped", QStringLiteral("\"q\""), QStringLiteral("q")},
        RoundTripCase{"Equals", QStringLiteral("a=b=c"), QStringLiteral("a=b=c")}),
    caseName);

TEST(ProfileWrite, ConcurrentWritersLoseNothing)
{
    ProfileFile file;
    const Profile profile = file.profile();
    constexpr int threads = 4;
    constexpr int keysPerThread = 25;
    std::vector<std::thread> writers;
    for (int t = 0; t < threads; ++t) {
        writers.emplace_back([&profile, t] {
            for (int k = 0; k < keysPerThread; ++k)
                profile.writeString(QStringLiteral("S"), QStringLiteral("k%1_%2").arg(t).arg(k),
                                    QString::number(t * 1000 + k));
        });
    }
    for (std::thread& writer : writers)
        writer.join();
    EXPECT_EQ(profile.readSection(QStringLiteral("S"), 1 << 20).size(), threads * keysPerThread);
    for (int t = 0; t < threads; ++t) {
        for (int k = 0; k < keysPerThread; ++k)
            EXPECT_EQ(
                profile.readInt(QStringLiteral("S"), QStringLiteral("k%1_%2").arg(t).arg(k), -1),
                t * 1000 + k);
    }
}

// ---------------------------------------------------------------------------------------------
// Damaged files

TEST(ProfileDamagedFile, BinaryJunkIsKeptAndANewSectionStillWorks)
{
    std::mt19937 random(20140101);
    QByteArray junk;
    for (int i = 0; i < 8192; ++i)
        junk.append(static_cast<char>(random() & 0xFF));
    ProfileFile file;
    file.write(junk);
    const Profile profile = file.profile();
    EXPECT_EQ(profile.readInt(QStringLiteral("KevraProbe"), QStringLiteral("k"), 11), 11);
    ASSERT_TRUE(profile.writeString(QStringLiteral("KevraProbe"), QStringLiteral("k"),
                                    QStringLiteral("12")));
    EXPECT_TRUE(file.contents().startsWith(junk));
    EXPECT_EQ(profile.readInt(QStringLiteral("KevraProbe"), QStringLiteral("k"), 11), 12);
}

TEST(ProfileDamagedFile, VeryLongLineIsCutOnReadAndReplacedOnWrite)
{
    ProfileFile file;
    file.write("[S]\nk=" + QByteArray(1 << 20, 'v') + "\nj=1\n");
    const Profile profile = file.profile();
    EXPECT_EQ(profile.readString(QStringLiteral("S"), QStringLiteral("k")), QString(259, u'v'));
    EXPECT_EQ(profile.readInt(QStringLiteral("S"), QStringLiteral("j"), 0), 1);
    ASSERT_TRUE(
        profile.writeString(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("short")));
    EXPECT_EQ(file.contents(), QByteArray("[S]\nk=short\nj=1\n"));
}

TEST(ProfileDamagedFile, ManyLinesWithoutEqualsAreReadQuickly)
{
    ProfileFile file;
    QByteArray bytes = "[S]\n";
    for (int i = 0; i < 100000; ++i)
        bytes += "no equals sign on this line\n";
    file.write(bytes + "k=3\n");
    EXPECT_EQ(file.profile().readInt(QStringLiteral("S"), QStringLiteral("k"), 0), 3);
}

// ---------------------------------------------------------------------------------------------
// canStore

struct StorableCase {
    const char* name;
    QString value;
    bool storable;
};

class ProfileCanStore : public ::testing::TestWithParam<StorableCase> {};

TEST_P(ProfileCanStore, TellsWhatSurvivesTheFile)
{
    EXPECT_EQ(Profile::canStore(GetParam().value), GetParam().storable);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileCanStore,
    ::testing::Values(StorableCase{"Empty", QString(), true},
                      StorableCase{"Ascii", QStringLiteral("192.168.0.1"), true},
                      StorableCase{"Chinese", text("简体中文，全角。"), true},
                      StorableCase{"LineFeed", QStringLiteral("a\nb"), false},
                      StorableCase{"CarriageReturn", QStringLiteral("a\rb"), false},
                      StorableCase{"Nul", QStringLiteral("a") + QChar(u'\0'), false},
                      StorableCase{"Emoji", text("\xF0\x9F\x98\x80"), false},
                      StorableCase{"Thai", text("\xE0\xB8\x81"), false},
                      StorableCase{"ReplacementCharacter", QString(QChar::ReplacementCharacter),
                                   false}),
    caseName);

} // namespace
