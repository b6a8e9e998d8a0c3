// The desktop program in English, headless unless a platform is chosen.
#include <gtest/gtest.h>

#include <QApplication>
#include <clocale>
#include <cstdio>

#include "app/ui_language.h"
#include "tests/support/scratch_data_home.h"

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    const qvx::test::ScratchDataHome dataHome;
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    if (!qvx::app::installLanguage(qvx::app::UiLanguage::English)) {
        std::fputs("the English translation could not be loaded\n", stderr);
        return 1;
    }
    return RUN_ALL_TESTS();
}
