#include <QCoreApplication>
#include <gtest/gtest.h>

// Core tests get an application object so that queued signals and QSignalSpy::wait work.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
