#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>

// Window tests run without a display unless one is asked for.
int main(int argc, char** argv) {
    // Before any thread exists, so changing the environment is safe.
    // NOLINTNEXTLINE(concurrency-mt-unsafe)
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
