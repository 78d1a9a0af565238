#include "queue/TransferProgress.h"

#include "support/NamedCases.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <vector>

namespace {

using namedcases::caseName;
using namedcases::operator<<;

struct Sample {
    qint64 atMs;
    EngineCounters counters;
};

EngineCounters file(quint64 done, quint64 total)
{
    EngineCounters c;
    c.bytesDone = done;
    c.totalBytes = total;
    c.transferActive = true;
    return c;
}

EngineCounters folder(quint64 folderDone, quint64 folderTotal, quint64 fileDone, bool active)
{
    EngineCounters c;
    c.folderDoneBytes = folderDone;
    c.folderTotalBytes = folderTotal;
    c.bytesDone = fileDone;
    c.transferActive = active;
    return c;
}

struct ProgressCase {
    const char* name;
    bool folderJob;
    std::vector<Sample> samples; // the texts of the last one are checked
    const char* expected;        // progress|speed|elapsed|remaining
};

const ProgressCase cases[] = {
    {"HalfOfAFileInOneSecond",
     false,
     {{1000, file(512 * 1024, 1024 * 1024)}},
     "50%|512.00kb/s|00:00:01|00:00:01"},
    {"ResumedPartCountsInTheFirstSpeed",
     false,
     {{1000, file(800, 1000)}},
     "80%|800.00b/s|00:00:01|00:00:00"},
    {"StalledTransferKeepsItsRemainingTime",
     false,
     {{1000, file(100, 1100)}, {3000, file(100, 1100)}},
     "9%|0.00b/s|00:00:03|00:00:10"},
    {"MoreThanTheSizeShowsNoPercentage",
     false,
     {{1000, file(2000, 1000)}},
     "|1.95kb/s|00:00:01|00:00:00"},
    {"LongTransferElapsedHoursMinutesSeconds",
     false,
     {{3725000, file(3725, 100000)}},
     "3%|1.00b/s|01:02:05|26:44:35"},
    {"FolderCountsTheFileInProgress",
     true,
     {{1000, folder(500, 1000, 100, true)}},
     "60%|600.00b/s|00:00:01|00:00:00"},
    {"FolderPercentageNeverGoesDown",
     true,
     {{1000, folder(500, 1000, 100, true)}, {2000, folder(500, 1000, 100, false)}},
     "60%||00:00:02|00:00:00"},
    {"FolderWithEverythingDoneIsComplete",
     true,
     {{1000, folder(1000, 1000, 0, false)}},
     "100%|1000.00b/s|00:00:01|00:00:00"},
};

class TransferProgressTest : public ::testing::TestWithParam<ProgressCase> {};

TEST_P(TransferProgressTest, WritesTheTextsOfTheLastCycle)
{
    const ProgressCase& c = GetParam();
    TransferProgress progress(c.folderJob);
    progress.restart(0);
    std::optional<ProgressTexts> texts;
    for (const Sample& sample : c.samples)
        texts = progress.step(sample.counters, sample.atMs);
    ASSERT_TRUE(texts.has_value());
    EXPECT_EQ(
        QStringList({texts->progress, texts->speed, texts->elapsed, texts->remaining}).join(u'|'),
        QString::fromUtf8(c.expected));
}

INSTANTIATE_TEST_SUITE_P(Cycles, TransferProgressTest, ::testing::ValuesIn(cases), caseName);

TEST(TransferProgressUnknownSize, WritesNothingUntilTheSizeIsKnown)
{
    TransferProgress single(false);
    single.restart(0);
    EXPECT_FALSE(single.step(file(500, 0), 1000).has_value());
    TransferProgress whole(true);
    whole.restart(0);
    EXPECT_FALSE(whole.step(folder(0, 0, 500, true), 1000).has_value());
}

} // namespace
