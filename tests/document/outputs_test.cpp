#include "document/outputs.h"

#include <gtest/gtest.h>

namespace qvx::document {
namespace {

// The plots' legend reads "1 = Zu", "2 = A", "3 = B", "4 = C", "5 = Offen"; the outputs are
// numbered as the fixed pane's columns "Auf", "C", "B", "A", "Zu".
TEST(Outputs, EachOutputIsPlottedAtTheLegendLevelOfItsPosition) {
    EXPECT_EQ(legendLevel(1), 5);  // Auf: "5 = Offen"
    EXPECT_EQ(legendLevel(2), 4);  // C
    EXPECT_EQ(legendLevel(3), 3);  // B
    EXPECT_EQ(legendLevel(4), 2);  // A
    EXPECT_EQ(legendLevel(5), 1);  // Zu: "1 = Zu"
    EXPECT_EQ(outputMask(1), 0x08);
    EXPECT_EQ(outputMask(5), 0x80);
}

TEST(Outputs, TheHighestNumberedActiveOutputIsPlotted) {
    EXPECT_EQ(outputLevel({true, false, false, false, false}), 5);
    EXPECT_EQ(outputLevel({false, false, false, false, true}), 1);
    EXPECT_EQ(outputLevel({true, false, true, false, false}), 3);
    EXPECT_EQ(outputLevel({false, true, false, true, false}), 2);
    EXPECT_EQ(outputLevel({false, false, false, false, false}), 0);
}

TEST(Outputs, ARecordedWordIsReadFromBitsThreeToSevenAndRepeatsTheLevelWithoutAny) {
    EXPECT_EQ(recordedOutputLevel(0x08, 0), 5);
    EXPECT_EQ(recordedOutputLevel(0x80, 0), 1);
    EXPECT_EQ(recordedOutputLevel(0x28, 0), 3);   // outputs 1 and 3
    EXPECT_EQ(recordedOutputLevel(0xF8, 0), 1);   // all five
    EXPECT_EQ(recordedOutputLevel(0x107, 4), 4);  // bits 0-2 and 8 are no outputs
    EXPECT_EQ(recordedOutputLevel(0x00, 2), 2);
}

}  // namespace
}  // namespace qvx::document
