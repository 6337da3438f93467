#include <gtest/gtest.h>
#include <QCoreApplication>

// The server under test runs a Qt event loop on its own thread, which needs
// the application object.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
