// When the window gives up its written colours: the main window against the button faces of
// real schemes and the edges of the threshold.
#include <gtest/gtest.h>

#include "ColorRules.h"
#include "MainWindow.h"

namespace {

TEST(SystemColours, SwitchOnlyWhereTheWrittenCaptionsWouldNotRead) {
    struct Row {
        uint32_t face;  // 0x00BBGGRR
        bool unreadable;
        const char* why;
    };
    const Row rows[] = {
        {0x00F5F5F5u, false, "Wine's default face"},
        {0x00C8D0D4u, false, "the classic grey face"},
        {0x00FFFFFFu, false, "High Contrast White: black reads on white"},
        {0x00000000u, true, "High Contrast Black"},
        {0x00800000u, true, "a navy face: 1.31"},
        {0x00767676u, false, "grey 0x76: 4.62, above 4.5"},
        {0x00747474u, true, "grey 0x74: 4.49, just below"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        EXPECT_EQ(WrittenTextUnreadable(MainWindowLayout, r.face), r.unreadable);
    }
    EXPECT_DOUBLE_EQ(ContrastRatio(kWhite, kBlack), 21.0);
}

}  // namespace
