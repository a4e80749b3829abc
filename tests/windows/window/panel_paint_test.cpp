// The information panel as painted: every text call of a paint (bytes,
// place, colour, font), and the pixels that reach the window (banner,
// identity lines, labels, separator, background), with a screenshot of the
// window in each state.
#include "case_names.h"
#include "painting_model.h"
#include "text_out_recorder.h"
#include "window_fixture.h"
#include "window_texts.h"

namespace wintest {
namespace {

using painting::Labels;
using picture::Area;

// Twelve 0xFF login-ID cells (16..27) on a key with key password "1234".
std::string CellsWithBlankLoginId() {
    std::string hex;
    for (int cell = 0; cell < 59; ++cell) {
        const char* byte = cell >= 16 && cell < 28 ? "ff" : "00";
        if (cell >= 40 && cell < 44)
            byte = cell == 40 ? "31" : cell == 41 ? "32" : cell == 42 ? "33" : "34";
        hex += byte;
    }
    return hex;
}

struct PaintCase {
    const char* name;
    std::string key;             // options, or "" for none
    std::vector<WORD> commands;  // after the start
    bool pullKeyFirst;           // the key is pulled before the commands
    std::string serialLine, loginLine;
    Labels labels;
};

const std::array<std::uint8_t, 4> kSerial{0x0A, 0x00, 0xFF, 0x81};
const std::string kKey = "serial=0a00ff81 key-password=1234 login-id=quorvane.me";

const PaintCase kPaintCases[] = {
    {"StartNoKey",
     "",
     {},
     false,
     painting::SerialLineNoKey(),
     painting::LoginLineNoKey(),
     Labels::None},
    {"StartFactoryInitialKey",
     "serial=0a00ff81",
     {},
     false,
     painting::SerialLine(kSerial),
     painting::LoginLine(""),
     Labels::None},
    {"StartKeyWithPassword",
     kKey,
     {},
     false,
     painting::SerialLine(kSerial),
     painting::LoginLine("quorvane.me"),
     Labels::None},
    {"ViewLoginPassword",
     kKey,
     {kMenuView},
     false,
     painting::SerialLine(kSerial),
     painting::LoginLine("quorvane.me"),
     Labels::ViewLoginPassword},
    {"ChangeLoginPassword",
     kKey,
     {kMenuChangeLogin},
     false,
     painting::SerialLine(kSerial),
     painting::LoginLine("quorvane.me"),
     Labels::ChangeLoginPassword},
    {"ChangeKeyPassword",
     kKey,
     {kMenuChangeKey},
     false,
     painting::SerialLine(kSerial),
     painting::LoginLine("quorvane.me"),
     Labels::ChangeKeyPassword},
    {"ChangeKeyPasswordFactoryInitial",
     "serial=0a00ff81",
     {kMenuChangeKey},
     false,
     painting::SerialLine(kSerial),
     painting::LoginLine(""),
     Labels::ChangeKeyPassword},
    {"CancelledViewLoginPassword",
     kKey,
     {kMenuView, kCancel},
     false,
     painting::SerialLine(kSerial),
     painting::LoginLine("quorvane.me"),
     Labels::ViewLoginPassword},
    {"LoginIdOfTwelveBytes",
     "serial=0a00ff81 key-password=1 login-id=abcdefghijkl",
     {},
     false,
     painting::SerialLine(kSerial),
     painting::LoginLine("abcdefghijkl"),
     Labels::None},
    {"LoginIdOfBlankCells",
     "serial=0a00ff81 cells=" + CellsWithBlankLoginId(),
     {},
     false,
     painting::SerialLine(kSerial),
     painting::LoginLine(std::string(12, '\xFF')),
     Labels::None},
    // The serial and login ID of the last refresh stay in memory, unshown.
    {"RefreshFindsNoKeyAnyMore",
     kKey,
     {kRefresh},
     true,
     painting::SerialLineNoKey(),
     painting::LoginLineNoKey(),
     Labels::None},
    // The login-password display found no key: the next mode command repaints.
    {"OperationFoundNoKey",
     kKey,
     {kMenuView, kOk, kMenuChangeLogin},
     true,
     painting::SerialLineNoKey(),
     painting::LoginLineNoKey(),
     Labels::ChangeLoginPassword},
};

void PrintTo(const PaintCase& paint, std::ostream* out) {
    *out << paint.name;
}

class PanelPaintTest : public AdminWindowTest, public ::testing::WithParamInterface<PaintCase> {
protected:
    void SetUp() override {
        AdminWindowTest::SetUp();
        ASSERT_TRUE(textout::Install());
        const PaintCase& c = GetParam();
        const std::string key = c.key.empty() ? "" : AddKey(c.key);
        Open();
        if (c.pullKeyFirst) Control("unplug " + key);
        for (WORD command : c.commands) Command(command);
    }

    // Paints the whole window again; the text calls of that paint.
    std::vector<textout::Call> Repaint() {
        textout::Calls().clear();
        RedrawWindow(window, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        return textout::Calls();
    }
};

TEST_P(PanelPaintTest, DrawsEachTextWithItsBytesPlaceColourAndFont) {
    const PaintCase& c = GetParam();
    const auto calls = Repaint();
    const auto expected = painting::Calls(c.serialLine, c.loginLine, c.labels);
    ASSERT_EQ(expected.size(), calls.size());
    for (std::size_t i = 0; i < calls.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(expected[i].x, calls[i].x);
        EXPECT_EQ(expected[i].y, calls[i].y);
        EXPECT_EQ(expected[i].text, calls[i].text) << "of " << calls[i].text.size() << " bytes";
        EXPECT_EQ(expected[i].colour, calls[i].colour);
        EXPECT_EQ(expected[i].fontHeight, calls[i].fontHeight);
        EXPECT_EQ(TRANSPARENT, calls[i].backgroundMode);
    }
}

TEST_P(PanelPaintTest, ShowsBannerLinesLabelsSeparatorAndBackgroundExactly) {
    const PaintCase& c = GetParam();
    Repaint();
    const picture::Picture actual = picture::CaptureClient(window);
    picture::SaveScreenshot(picture::CaptureWindow(window), std::string("window-") + c.name);
    const picture::Picture expected =
        painting::Expected(actual.width, actual.height, GetModuleHandleA(nullptr),
                           painting::Calls(c.serialLine, c.loginLine, c.labels));
    const picture::Difference difference =
        picture::Compare(actual, expected, painting::ChildAreas(window));
    EXPECT_EQ(0, difference.count) << "pixels differ:" << difference.firstFew;

    // The groove, ending left of the refresh button; the banner's corner.
    for (int x = 20; x < 245; ++x) {
        ASSERT_EQ(picture::kBlack, actual.At(x, 128)) << x;
        ASSERT_EQ(picture::kWhite, actual.At(x, 129)) << x;
    }
    for (int y : {128, 129}) {
        EXPECT_EQ(picture::kBackground, actual.At(19, y));
        EXPECT_EQ(picture::kBackground, actual.At(245, y));
    }
    EXPECT_EQ(picture::kBackground, actual.At(4, 4));
    EXPECT_EQ(picture::kBackground, actual.At(357, 47)) << "past the banner's corner";
}

INSTANTIATE_TEST_SUITE_P(States, PanelPaintTest, ::testing::ValuesIn(kPaintCases), CaseName());

// The labels' colours in each form: plain labels black, etched ones a white
// highlight and a grey face, nothing else but the background.
struct LabelColours {
    WORD mode;
    std::array<bool, 3> etched;
};

class LabelPaintTest : public AdminWindowTest,
                       public ::testing::WithParamInterface<LabelColours> {};

TEST_P(LabelPaintTest, PlainLabelsAreBlackAndEtchedOnesWhiteAndGrey) {
    AddKey(kKey);
    Open();
    Command(GetParam().mode);
    UpdateWindow(window);
    const picture::Picture actual = picture::CaptureClient(window);
    const char* texts[] = {expected::kKeyPasswordLabel, expected::kNewPasswordLabel,
                           expected::kConfirmLabel};
    const int rows[] = {145, 173, 201};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(texts[i]);
        const Area area = painting::LabelArea(50, rows[i], texts[i]);
        const int black = picture::CountColour(actual, area, picture::kBlack);
        const int white = picture::CountColour(actual, area, picture::kWhite);
        const int grey = picture::CountColour(actual, area, picture::kGrey);
        if (GetParam().etched[i]) {
            EXPECT_EQ(0, black);
            EXPECT_GT(white, 20);
            EXPECT_GT(grey, 20);
        } else {
            EXPECT_GT(black, 20);
            EXPECT_EQ(0, white);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Forms, LabelPaintTest,
                         ::testing::Values(LabelColours{kMenuView, {false, true, true}},
                                           LabelColours{kMenuChangeLogin, {false, false, true}},
                                           LabelColours{kMenuChangeKey, {false, false, false}}));

using PanelHidingTest = AdminWindowTest;

TEST_F(PanelHidingTest, TheStatusBoxCoversTheLabelsOfTheLastForm) {
    AddKey(kKey);
    Open();
    UpdateWindow(window);
    RECT box{};
    GetWindowRect(w.statusBox, &box);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&box), 2);
    const auto boxPixels = [&] {
        const picture::Picture all = picture::CaptureClient(window);
        std::vector<std::uint32_t> pixels;
        for (int y = box.top; y < box.bottom; ++y)
            for (int x = box.left; x < box.right; ++x) pixels.push_back(all.At(x, y));
        return pixels;
    };
    const auto atStart = boxPixels();
    Command(kMenuView);
    Command(kCancel);
    UpdateWindow(window);
    EXPECT_EQ(PanelMode::ViewLoginPassword, windowState.panelMode);
    EXPECT_TRUE(atStart == boxPixels());
}

}  // namespace
}  // namespace wintest
