#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/emulated_system/native_ui.h"
#include "interface/result_codes.h"
#include "tests/test_support.h"
#include "ui/alert_text.h"
#include "ui/alerts.h"
#include "ui/center_on_desktop.h"

namespace {

void Set(PString text, const std::string& value) {
    text[0] = 0;
    text[1] = 0;
    AppendPString(text, value.c_str(), 0, int(value.size()));
}

std::string Get(const PString text) { return std::string(PStringChars(text), text[0]); }

}  // namespace

TEST(AlertText, ExpandsTheThreePlaceholders) {
    PString text, zero, one, two;
    Set(one, "3.0");
    Set(two, "B");
    Set(text, "needs ^1, not ^0^2; ^3 and ^ stay");
    ExpandAlertText(text, nullptr, one, two);
    EXPECT_EQ(Get(text), "needs 3.0, not B; ^3 and ^ stay");

    Set(zero, "^0^0");  // an inserted text is never expanded again
    Set(text, "[^0]");
    ExpandAlertText(text, zero, nullptr, nullptr);
    EXPECT_EQ(Get(text), "[^0^0]");
}

TEST(AlertText, LengthPrefixedTextsHoldAtMost254Characters) {
    PString text;
    Set(text, std::string(250, 'a'));
    AppendPString(text, "bcdefgh", 0, 7);
    EXPECT_EQ(text[0], 254);
    EXPECT_EQ(text[255], 0);
    EXPECT_EQ(Get(text).substr(248), "aabcde");
    LongToPString(-2147483647 - 1, text);
    EXPECT_EQ(Get(text), "-2147483648");
    DoubleToPString(3.0, 1, text);
    EXPECT_EQ(Get(text), "3.0");
    DoubleToPString(-2.25, 1, text);
    EXPECT_EQ(Get(text), "-2.3");
}

TEST(Alerts, AHostWithoutAdvanceStateGetsOneWarningNamingVersion3) {
    std::vector<std::string> shown;
    SetAlertHandler([&](const char* text) {
        shown.push_back(text);
        return 1;
    });
    HostSettings settings;
    settings.offerAdvanceState = false;
    TestHost refused(SmallImage(), settings);
    EXPECT_EQ(refused.Run(Plugin(), false).startResult, userCanceledErr);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].find("3.0"), std::string::npos) << shown[0];
    EXPECT_EQ(shown[0].find('^'), std::string::npos);

    TestHost accepted(SmallImage(), HostSettings{});
    EXPECT_EQ(accepted.Run(Plugin(), false).result, noErr);
    EXPECT_EQ(shown.size(), 1u) << "a host with advanceState sees no box";

    PString none = {0};
    EXPECT_EQ(ShowAlert(nullptr, nullptr, 0, 16992, none, none, none), 0);
    EXPECT_EQ(shown.size(), 1u) << "alert id 0 shows nothing";
    SetAlertHandler(nullptr);
}

TEST(CenterOnDesktop, CentresAcrossAndAThirdDown) {
    const ScreenPoint at = CenteredPosition(ScreenRect{0, 0, 1024, 768}, ScreenRect{100, 100, 675, 435});
    EXPECT_EQ(at.x, (1024 - 575) / 2);
    EXPECT_EQ(at.y, (768 - 335) / 3);
}
