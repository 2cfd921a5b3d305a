// The parameter dialog's rules, driven through fake controls inside a real
// selector flow: Parameters, Start with the dialog, Continue, Finish.
#include <gtest/gtest.h>

#include "host_services/filter_globals.h"
#include "interface/result_codes.h"
#include "passes/preview_render.h"
#include "tests/fake_dialog.h"
#include "tests/test_support.h"
#include "ui/dialog_ids.h"
#include "ui/ui_texts.h"
#include "tests/emulated_system/native_ui.h"
#include "ui/parameter_dialog.h"
#include "ui/parameter_dialog_rules.h"

namespace {

using Action = std::function<void(FakeDialog&)>;

// Completed renders so far: each ends with one progress report of total of total.
int CompletedRenders(const TestHost& host) {
    int count = 0;
    for (const ProgressCall& call : host.ProgressCalls()) count += call.done == call.total && call.total > 0;
    return count;
}

struct DialogSession {
    TestHost host;
    FakeDialog dialog;
    RunOutcome outcome;
    int rendersBeforeEnd = 0;

    explicit DialogSession(HostImage image = SmallImage(64, 48), HostSettings settings = Offline())
        : host(std::move(image), settings) {}

    static HostSettings Offline() {
        HostSettings settings;
        settings.offerDescriptors = false;
        return settings;
    }

    // Runs Parameters, Prepare, Start (with the dialog playing the actions), Continue, Finish.
    RunOutcome Run(std::vector<Action> actions, const std::function<void(FilterParameters&)>& before = nullptr) {
        if (before) {
            host.Call(Plugin(), filterSelectorPrepare);
            before(*reinterpret_cast<FilterParameters*>(const_cast<int16_t*>(host.ParameterValues())));
        }
        SetParameterDialogHandler([this, actions](FilterGlobals* globals) {
            dialog.Run(globals, actions);
            rendersBeforeEnd = CompletedRenders(host);
        });
        outcome = host.Run(Plugin(), true);
        SetParameterDialogHandler(nullptr);
        return outcome;
    }

    int16_t Field(int index) const { return host.ParameterValues()[index]; }
};

Action Do(std::function<void(FakeDialog&)> action) { return action; }
Action ClickOk() { return [](FakeDialog& d) { d.Click(kOkButton); }; }
Action ClickCancel() { return [](FakeDialog& d) { d.Click(kCancelButton); }; }

}  // namespace

TEST(ParameterDialog, OpensWithTheFieldsClampedByTheirTrackbarsAndCancelRestoresThem) {
    DialogSession session;
    std::vector<int16_t> during;
    RunOutcome outcome = session.Run(
        {Do([&](FakeDialog& d) {
             during = ParameterVector(session.host);
             EXPECT_EQ(d.caption, "Glyra 0.4.4");
             EXPECT_EQ(d.centered, 1);
             EXPECT_EQ(d.attached, 1);
             EXPECT_EQ(d.texts[EditOf(&FilterParameters::brightness)], "1");
             EXPECT_EQ(d.Slider(SliderOf(&FilterParameters::brightness)).position, 1);
             EXPECT_EQ(d.texts[EditOf(&FilterParameters::angle)], "359");
             EXPECT_EQ(d.selections[EditOf(&FilterParameters::brightness)], std::make_pair(0, 1)) << "the whole text selected";
             EXPECT_TRUE(d.checked[RadioOf(Plain)]);
             EXPECT_FALSE(d.checked[RadioOf(Average)]);
             // The user's language (the environment's here), as UTF-8.
             const UiTexts& texts = CurrentUiTexts();
             EXPECT_EQ(d.texts[CaptionOf(&FilterParameters::thresholdType)], texts.parameterLabels[2]);
             EXPECT_EQ(d.texts[RadioOf(Average)], texts.thresholdTypeLabels[Average]);
             EXPECT_EQ(d.texts[kCancelButton], texts.cancel);
         }),
         ClickCancel()},
        [](FilterParameters& p) {
            p.brightness = 0;
            p.thresholdType = 7;
            p.angle = 400;
        });
    EXPECT_EQ(during[0], 1);
    EXPECT_EQ(during[2], 0);
    EXPECT_EQ(during[3], 359);
    EXPECT_EQ(outcome.startResult, userCanceledErr);
    EXPECT_FALSE(outcome.finished);
    EXPECT_EQ(session.Field(0), 0) << "Cancel puts the unclamped values back";
    EXPECT_EQ(session.Field(2), 7);
    EXPECT_EQ(session.Field(3), 400);
    EXPECT_EQ(session.dialog.endCode, IDCANCEL);
}

TEST(ParameterDialog, EditTextIsReadLikeAtoiAndNeverRewritten) {
    DialogSession session;
    struct Typed {
        int edit;
        std::string text;
        int field;
        int16_t expected;
    };
    const Typed cases[] = {
        {EditOf(&FilterParameters::threshold), "300", 1, 250},      // out of range: nothing changes
        {EditOf(&FilterParameters::threshold), "25", 1, 25},
        {EditOf(&FilterParameters::threshold), "", 1, 0},           // no digits read as 0, which is in range
        {EditOf(&FilterParameters::brightness), "", 0, 50},         // 0 is not in 1..100
        {EditOf(&FilterParameters::threshold), "12345678", 1, 0},   // seven digits read, out of range
        {EditOf(&FilterParameters::angle), "007", 3, 7},
        {EditOf(&FilterParameters::angle), "12abc", 3, 12},
        {EditOf(&FilterParameters::angle), "-0", 3, 0},
        {EditOf(&FilterParameters::angle), "  +45", 3, 45},
    };
    std::vector<Action> actions;
    for (const Typed& c : cases)
        actions.push_back([&session, c](FakeDialog& d) {
            d.Type(c.edit, c.text);
            EXPECT_EQ(session.Field(c.field), c.expected) << "typed '" << c.text << "'";
            EXPECT_EQ(d.texts[c.edit], c.text) << "the text stays as typed";
        });
    actions.push_back([](FakeDialog& d) {
        EXPECT_EQ(d.Slider(SliderOf(&FilterParameters::threshold)).position, 0);
        EXPECT_EQ(d.Slider(SliderOf(&FilterParameters::angle)).position, 45) << "the trackbar follows the field";
    });
    actions.push_back(ClickOk());
    RunOutcome outcome = session.Run(actions);
    EXPECT_EQ(outcome.result, noErr);
    EXPECT_EQ(session.Field(3), 45);
}

TEST(ParameterDialog, ATrackbarMoveWritesTheNumberWithTheCaretAtItsEndAndRequestsOneRender) {
    DialogSession session;
    session.Run({Do([](FakeDialog& d) { d.Drain(); }),  // let the opening's render finish
                 Do([&session](FakeDialog& d) {
                     d.MoveSlider(SliderOf(&FilterParameters::lineType), 4);
                     ASSERT_EQ(d.Step(), kFakeSliderMove);
                     EXPECT_EQ(session.Field(4), 4);
                     EXPECT_EQ(d.texts[EditOf(&FilterParameters::lineType)], "4");
                     EXPECT_EQ(d.selections[EditOf(&FilterParameters::lineType)], std::make_pair(1, 1));
                     EXPECT_EQ(PlatformQueuedMessageCount(), 1u) << "exactly one render requested";
                     MSG request;
                     ASSERT_TRUE(PeekMessageA(&request, nullptr, 0, 0, PM_NOREMOVE));
                     EXPECT_EQ(request.message, WM_PREVIEW_FILTERED);
                 }),
                 Do([](FakeDialog& d) {
                     d.Drain();
                     d.Click(RadioOf(Plain));  // the button that is already set
                     ASSERT_EQ(d.Step(), WM_COMMAND);
                     MSG request;
                     ASSERT_TRUE(PeekMessageA(&request, nullptr, 0, 0, PM_NOREMOVE));
                     EXPECT_EQ(request.message, WM_PREVIEW_FILTERED);
                     EXPECT_EQ(PlatformQueuedMessageCount(), 1u);
                 }),
                 Do([&session](FakeDialog& d) {
                     d.Click(RadioOf(WeightedAverage));
                     d.Drain();
                     EXPECT_EQ(session.Field(2), 2);
                     EXPECT_TRUE(d.checked[RadioOf(WeightedAverage)]);
                     EXPECT_FALSE(d.checked[RadioOf(Plain)]);
                 }),
                 ClickOk()});
    EXPECT_EQ(session.outcome.result, noErr);
    EXPECT_EQ(session.Field(4), 4);
}

TEST(PreviewScheduling, TwentyQuickMovesEndInOneFinishedRenderWithTheLastValue) {
    DialogSession session;
    int finishedAfterOpening = -1;
    session.Run({Do([&](FakeDialog& d) {
                     // The opening's request is first in the queue; the moves wait behind it.
                     finishedAfterOpening = CompletedRenders(session.host);
                     for (int i = 0; i < 20; ++i) d.MoveSlider(SliderOf(&FilterParameters::h0Extent), 10 + i);
                 }),
                 ClickOk()});
    EXPECT_EQ(finishedAfterOpening, 0) << "the unfiltered opening render does not filter";
    EXPECT_EQ(session.rendersBeforeEnd, 1);
    EXPECT_EQ(session.Field(6), 29);
    EXPECT_EQ(session.outcome.result, noErr);
}

TEST(PreviewScheduling, ThreeChangesDuringARenderAreAnsweredByOneRender) {
    DialogSession session;
    session.Run({Do([&](FakeDialog& d) {
                     d.MoveSlider(SliderOf(&FilterParameters::brightness), 60);
                     d.MoveSlider(SliderOf(&FilterParameters::spDensity), 70);
                     d.Click(RadioOf(Average));
                     // The opening's request renders first and is stopped by the first change.
                     ASSERT_EQ(d.Step(), WM_PREVIEW_FILTERED);
                     EXPECT_EQ(CompletedRenders(session.host), 0);
                     EXPECT_EQ(d.state.preview.state, PreviewIdle);
                     // Left: the restart the stop asked for, then the other two changes.
                     EXPECT_EQ(PlatformQueuedMessageCount(), 3u);
                     d.Drain();
                     EXPECT_EQ(CompletedRenders(session.host), 1);
                     EXPECT_EQ(session.Field(0), 60);
                     EXPECT_EQ(session.Field(9), 70);
                     EXPECT_EQ(session.Field(2), 1);
                 }),
                 ClickOk()});
    EXPECT_EQ(session.rendersBeforeEnd, 1);
}

TEST(PreviewScheduling, AZoomDuringARenderPostsAPlainThenAFilteredRequest) {
    DialogSession session;
    session.Run({Do([&](FakeDialog& d) {
                     d.Click(kZoomInButton);
                     ASSERT_EQ(d.Step(), WM_PREVIEW_FILTERED);  // the render, stopped by the zoom
                     MSG message;
                     EXPECT_EQ(d.texts[kZoomLabel], "200%");
                     ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
                     EXPECT_EQ(message.message, WM_PREVIEW_PLAIN);
                     ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
                     EXPECT_EQ(message.message, WM_PREVIEW_FILTERED);
                     EXPECT_EQ(PlatformQueuedMessageCount(), 0u);
                 }),
                 ClickOk()});
}

TEST(ParameterDialog, OkDuringARenderStopsItAndEndsWithTheEditedValues) {
    DialogSession session;
    RunOutcome outcome = session.Run({Do([](FakeDialog& d) {
        d.Type(EditOf(&FilterParameters::spDephase), "80");
        d.Click(kOkButton);  // queued behind the render requests
    })});
    EXPECT_EQ(outcome.startResult, noErr);
    EXPECT_TRUE(outcome.finished);
    EXPECT_EQ(session.dialog.endCode, IDOK);
    EXPECT_EQ(session.Field(12), 80);
    EXPECT_EQ(session.rendersBeforeEnd, 0) << "the render was stopped, not finished";
    const FilterGlobals* globals = GlobalsOf(session.host);
    EXPECT_EQ(globals->previewPixels, nullptr) << "the buffers are freed on the way out";
    EXPECT_EQ(session.dialog.state.preview.state, PreviewIdle);
}

TEST(ParameterDialog, TheCloseBoxAndEscapeEndLikeCancel) {
    for (bool closeBox : {true, false}) {
        DialogSession session;
        RunOutcome outcome = session.Run({Do([closeBox](FakeDialog& d) {
            d.Type(EditOf(&FilterParameters::threshold), "99");
            if (closeBox)
                d.Close();
            else
                d.Click(IDCANCEL);  // what Escape sends
        })});
        EXPECT_EQ(outcome.startResult, userCanceledErr);
        EXPECT_EQ(session.Field(1), 250);
    }
}

TEST(ParameterDialog, AcceptedDialogFiltersTheFilterRectangleOfTheWholeImage) {
    HostImage image = MakeHostImage(64, 48, 8, 1, false);
    image.Set(20, 30, 0, 255);
    HostSettings settings = DialogSession::Offline();
    settings.useFilterRect = true;
    settings.filterRect = Rect{10, 10, 40, 50};
    DialogSession session(image, settings);
    session.Run({ClickOk()});
    EXPECT_EQ(session.outcome.result, noErr);
    EXPECT_GT(session.host.Image().At(20, 32, 0), 0) << "streaks inside the filter rectangle";
    EXPECT_EQ(session.host.Image().At(20, 5, 0), 0) << "nothing outside it";
    EXPECT_EQ(session.host.Image().At(20, 55, 0), 0);
}

TEST(ParameterDialog, PreviewBuffersThatCannotBeHadEndTheDialogWithMemFull) {
    DialogSession session;
    session.dialog.frame = Rect{10, 10, 5, 5};  // a pane whose size cannot be allocated
    RunOutcome outcome = session.Run({});
    EXPECT_EQ(outcome.startResult, memFullErr);
    EXPECT_TRUE(session.dialog.ended);
    EXPECT_EQ(GlobalsOf(session.host)->previewPixels, nullptr);
}

TEST(ParameterDialog, AFailedWholeImageRequestShowsAnEmptyPane) {
    HostImage image = SmallImage(64, 48);
    HostSettings settings = DialogSession::Offline();
    settings.advanceStateError = -30900;
    DialogSession session(image, settings);
    bool empty = false;
    session.Run({Do([&](FakeDialog&) {
                     const FilterGlobals* globals = GlobalsOf(session.host);
                     empty = true;
                     for (int i = 0; i < 96 * 64 * 4; ++i) empty = empty && globals->previewPixels[i] == 0;
                     EXPECT_FALSE(session.dialog.state.preview.sourceReady);
                 }),
                 ClickOk()});
    EXPECT_TRUE(empty);
    EXPECT_EQ(session.outcome.startResult, -30900) << "Start's own request reports the host's error";
}

TEST(ParameterDialog, AHostThatDeliversFewerRowsThanAskedLeavesThePaneEmpty) {
    // The whole-image request comes back short (the host says so in its
    // rectangles): neither the transparency copy nor the preview reads past it,
    // and the final pass refuses rather than read what is not there.
    for (bool transparency : {false, true}) {
        HostSettings settings = DialogSession::Offline();
        settings.deliverRowsShort = 5;
        settings.planesIncludeTransparency = false;  // so the dialog copies the transparency itself
        HostImage image = SmallImage(40, 30, 8, 3, transparency);
        DialogSession session(image, settings);
        bool ready = true, empty = false;
        session.Run({Do([&](FakeDialog& d) {
                         d.Drain();
                         const FilterGlobals* globals = GlobalsOf(session.host);
                         ready = d.state.preview.sourceReady;
                         empty = true;
                         for (int i = 0; i < 96 * 64; ++i) empty = empty && globals->previewMask[i] == 0;
                     }),
                     ClickOk()});
        EXPECT_FALSE(ready);
        EXPECT_TRUE(empty);
        EXPECT_EQ(session.outcome.continueResult, paramErr);
        EXPECT_EQ(session.host.Image().Samples(), image.Samples());
    }
}

TEST(ParameterDialog, ShowsEveryControlsTextInEachLanguage) {
    for (UiLanguage language :
         {UiLanguage::English, UiLanguage::Japanese, UiLanguage::German, UiLanguage::ChineseSimplified}) {
        const UiTexts& texts = UiTextsFor(language);
        SCOPED_TRACE(texts.parameterLabels[0]);
        EXPECT_EQ(texts.language, language);
        DialogSession session;
        session.dialog.state.texts = &texts;
        session.Run({Do([&](FakeDialog& d) {
                         for (int i = 0; i < kParameterCount; ++i) {
                             EXPECT_FALSE(texts.parameterLabels[i].empty());
                             EXPECT_EQ(d.texts[kParameterTable[i].captionId], texts.parameterLabels[i]);
                         }
                         for (int t = 0; t < kThresholdTypeCount; ++t)
                             EXPECT_EQ(d.texts[kThresholdTypeTable[t].radioId], texts.thresholdTypeLabels[t]);
                         for (const auto& [id, text] : {std::pair<int, std::string>{kOkButton, texts.ok},
                                                        {kCancelButton, texts.cancel},
                                                        {kGeneralGroup, texts.generalGroup},
                                                        {kHighlightGroup, texts.highlightGroup},
                                                        {kSpectrumGroup, texts.spectrumGroup}}) {
                             EXPECT_FALSE(text.empty()) << id;
                             EXPECT_EQ(d.texts[id], text) << id;
                         }
                         EXPECT_EQ(d.caption, "Glyra 0.4.4");
                     }),
                     ClickCancel()});
    }
}

