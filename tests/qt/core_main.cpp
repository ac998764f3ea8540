// The tests that drive the program and the servers around it as processes of their own run
// in one QCoreApplication: an event loop for QProcess and QtDBus, and no widgets.
#include <gtest/gtest.h>

#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
