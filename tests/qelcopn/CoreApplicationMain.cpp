// The main of the library tests whose own thread runs Qt too (a peer, a
// replay player, an event loop the test spins): the application object
// comes first, then the library finds it instead of making its own.
#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
