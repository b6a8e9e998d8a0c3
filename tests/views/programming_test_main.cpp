// The programming tests run headless unless a platform is chosen; a dialog that no test
// answers fails the test instead of waiting for ever.
#include <gtest/gtest.h>

#include <QApplication>

#include "tests/support/scratch_data_home.h"
#include "tests/views/programming_test_support.h"

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    const qvx::test::ScratchDataHome dataHome;
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    const qvx::views::test::UnexpectedDialogGuard guard;
    return RUN_ALL_TESTS();
}
