// keyadmin.exe as the release archive holds it, unpacked into the working
// directory with nothing beside it: no stand-in HID services, so the
// program meets Wine's own. It must start, show its window and end through
// its menu; and Windows must read its version resource the way a file's
// properties show it.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "command_ids.h"
#include "expected_texts.h"
#include "program_driver.h"

namespace {

constexpr char kProgram[] = ".\\keyadmin.exe";
constexpr wchar_t kProgramW[] = L".\\keyadmin.exe";

TEST(ReleaseProgramTest, StartsShowsItsWindowAndEndsThroughItsMenu) {
    program::Program app;
    ASSERT_TRUE(app.Start(kProgram)) << "no window of class KeyAdminWClass";

    // The program that runs is the archive's, not a copy found elsewhere.
    char folder[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof folder, folder);
    char image[MAX_PATH] = {};
    DWORD size = sizeof image;
    ASSERT_TRUE(QueryFullProcessImageNameA(app.process.hProcess, 0, image, &size));
    EXPECT_EQ(0, _stricmp((std::string(folder) + "\\keyadmin.exe").c_str(), image)) << image;

    // The start-up refresh ran: the status box shows one of its statuses
    // (no key, unless the machine passes a real one through to Wine).
    ASSERT_TRUE(app.FindControls()) << "a control is missing or out of place";
    const std::string status = app.Text(app.controls.statusBox);
    EXPECT_TRUE(status == expected::kNotFoundStatus || status == expected::kAttachedStatus ||
                status == expected::kInitialStatus)
        << status;
    EXPECT_TRUE(IsWindowVisible(app.window));

    app.Post(kMenuExit);
    EXPECT_EQ(0, app.WaitForExit()) << "exit code after the menu's exit";
}

class VersionInfo {
public:
    explicit VersionInfo(const wchar_t* file) {
        DWORD ignored = 0;
        data_.resize(GetFileVersionInfoSizeW(file, &ignored));
        if (!data_.empty() && !GetFileVersionInfoW(file, 0, data_.size(), data_.data()))
            data_.clear();
    }
    bool Read() const { return !data_.empty(); }

    template <typename T>
    const T* Value(const wchar_t* path, UINT* length = nullptr) const {
        void* value = nullptr;
        UINT size = 0;
        if (!VerQueryValueW(data_.data(), path, &value, &size)) return nullptr;
        if (length) *length = size;
        return static_cast<const T*>(value);
    }

    std::wstring Text(const wchar_t* name) const {
        const std::wstring path = std::wstring(L"\\StringFileInfo\\041203b5\\") + name;
        const wchar_t* text = Value<wchar_t>(path.c_str());
        return text ? text : L"(none)";
    }

private:
    std::vector<char> data_;
};

TEST(ReleaseProgramTest, WindowsReadsItsVersionInKorean) {
    const VersionInfo info(kProgramW);
    ASSERT_TRUE(info.Read()) << "no version resource";

    const auto* fixed = info.Value<VS_FIXEDFILEINFO>(L"\\");
    ASSERT_NE(nullptr, fixed);
    EXPECT_EQ(0xFEEF04BDu, fixed->dwSignature);
    const DWORD high = MAKELONG(KEYADMIN_EXPECTED_MINOR, KEYADMIN_EXPECTED_MAJOR);
    const DWORD low = MAKELONG(0, KEYADMIN_EXPECTED_PATCH);
    EXPECT_EQ(high, fixed->dwFileVersionMS);
    EXPECT_EQ(low, fixed->dwFileVersionLS);
    EXPECT_EQ(high, fixed->dwProductVersionMS);
    EXPECT_EQ(low, fixed->dwProductVersionLS);
    EXPECT_EQ(static_cast<DWORD>(VFT_APP), fixed->dwFileType);

    UINT length = 0;
    const auto* translation = info.Value<WORD>(L"\\VarFileInfo\\Translation", &length);
    ASSERT_NE(nullptr, translation);
    ASSERT_EQ(4u, length) << "one language and code page";
    EXPECT_EQ(0x0412, translation[0]);
    EXPECT_EQ(949, translation[1]);

    const struct {
        const wchar_t* name;
        const wchar_t* text;
    } kTexts[] = {
        {L"ProductName", L"KeyAdmin"},
        {L"FileDescription", L"KeyAdmin: USB \uC778\uC99D\uD0A4 \uAD00\uB9AC"},  // USB 인증키 관리
        {L"CompanyName", L"The KeyAdmin developers"},
        {L"LegalCopyright", L"Copyright (c) 2026 The KeyAdmin developers"},
        {L"OriginalFilename", L"keyadmin.exe"},
        {L"FileVersion", KEYADMIN_EXPECTED_VERSION},
        {L"ProductVersion", KEYADMIN_EXPECTED_VERSION},
    };
    for (const auto& text : kTexts) EXPECT_EQ(text.text, info.Text(text.name)) << text.name;
}

}  // namespace
