#include "session/SessionRegistry.h"

#include <gtest/gtest.h>

namespace {

TEST(SessionRegistryTest, TabsFollowLogonOrderNotStartOrder)
{
    SessionRegistry registry;
    registry.add(QStringLiteral("a"), 1);
    registry.add(QStringLiteral("b"), 2);
    EXPECT_EQ(registry.tabCount(), 0);
    registry.attachTab(2);
    registry.attachTab(1);
    EXPECT_EQ(registry.tabEntries(), (QStringList{QStringLiteral("b2"), QStringLiteral("a1")}));
    EXPECT_EQ(registry.sessionAtTab(0), 2);
    EXPECT_EQ(registry.tabOfSession(1), 1);
    EXPECT_EQ(registry.sessionAtTab(2), SessionRegistry::None);
}

TEST(SessionRegistryTest, SameHostTwiceGivesTwoEntriesStartingWithTheHost)
{
    SessionRegistry registry;
    registry.add(QStringLiteral("127.0.0.1"), 7);
    registry.add(QStringLiteral("127.0.0.1"), 8);
    registry.attachTab(7);
    registry.attachTab(8);
    const QStringList entries = registry.tabEntries();
    ASSERT_EQ(entries.size(), 2);
    EXPECT_TRUE(entries[0].startsWith(QStringLiteral("127.0.0.1")));
    EXPECT_TRUE(entries[1].startsWith(QStringLiteral("127.0.0.1")));
    EXPECT_NE(entries[0], entries[1]);
}

TEST(SessionRegistryTest, RemovingASessionShiftsTheLaterTabs)
{
    SessionRegistry registry;
    for (int id : {1, 2, 3}) {
        registry.add(QStringLiteral("h"), id);
        registry.attachTab(id);
    }
    registry.remove(2);
    EXPECT_EQ(registry.sessionAtTab(1), 3);
    EXPECT_EQ(registry.tabCount(), 2);
}

} // namespace
