// The desktop program under a German user's locale: Qt hands the user's locale to the C
// library when the QApplication is made, and the program must still show decimal points.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "app/application.h"
#include "document/units.h"
#include "tests/support/german_locale.h"

using qvx::document::DisplayUnit;

TEST(DesktopProgram, ShowsDecimalPointsForAGermanUser) {
    const qvx::test::GermanLocale german;  // the C library as QApplication leaves it for this user
    ASSERT_TRUE(german.available()) << "no German locale: install the locales package";
    ASSERT_EQ(qvx::document::formatPlain(1.5F), "    1,50") << "the German locale is not in effect";

    const qvx::app::QvxApplication program(
        {}, std::filesystem::temp_directory_path() / "qvx_locale_test.ini");
    EXPECT_EQ(qvx::document::formatPlain(1.5F), "    1.50");
    EXPECT_EQ(qvx::document::formatGripper(2499.39F, DisplayUnit::Millimetre), " 2499.39 mm");
    EXPECT_EQ(qvx::document::formatVolts(24.0F), "    24.0 V");
    char text[16];
    std::snprintf(text, sizeof text, "%.3f", 0.125);
    EXPECT_STREQ(text, "0.125");
}
