// The functions Norvane looks up when first used: each must be found in the library it is looked
// for in and answer as the system's own. A wrong library or a misspelt name would not fail to
// build; it would quietly take the "library missing" answer, which these checks tell apart.
#include <gtest/gtest.h>

#include <string>

#include "updater/platform/LateImports.h"

namespace {

TEST(LateImports, ShellFunctionsAreTheSystemsOwn) {
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof(info);
    info.lpFile = "Z:\\no\\such\\program.exe";
    info.fMask = SEE_MASK_FLAG_NO_UI;
    SetLastError(0);
    EXPECT_FALSE(late::ShellExecuteExA(&info));
    EXPECT_NE(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    // (ShellExecuteA has no way to fail without a box; the pinning tests go through it.)

    HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    late::DragAcceptFiles(window, TRUE);
    EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    DestroyWindow(window);

    // A drop of one file, as the shell hands it over.
    const char name[] = "C:\\pictures\\logo.bmp\0";
    HGLOBAL drop = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + sizeof(name) + 1);
    ASSERT_NE(drop, nullptr);
    auto* files = static_cast<DROPFILES*>(GlobalLock(drop));
    files->pFiles = sizeof(DROPFILES);
    memcpy(reinterpret_cast<char*>(files) + sizeof(DROPFILES), name, sizeof(name));
    GlobalUnlock(drop);
    EXPECT_EQ(late::DragQueryFileA(static_cast<HDROP>(drop), 0xFFFFFFFF, nullptr, 0), 1u);
    char path[MAX_PATH] = {};
    EXPECT_EQ(late::DragQueryFileA(static_cast<HDROP>(drop), 0, path, sizeof(path)), 20u);
    EXPECT_STREQ(path, "C:\\pictures\\logo.bmp");
    late::DragFinish(static_cast<HDROP>(drop));
}

TEST(LateImports, ShellUtilitiesAreTheSystemsOwn) {
    EXPECT_STREQ(late::PathFindExtensionA("C:\\pictures\\logo.bmp"), ".bmp");
    EXPECT_EQ(late::StrCmpNIA("HTTPS://host", "https://", 8), 0);
    EXPECT_NE(late::StrCmpNIA("http://host", "https://", 8), 0);
    char command[1024] = {};
    DWORD size = sizeof(command);
    EXPECT_NE(late::AssocQueryStringA(ASSOCF_NOTRUNCATE, ASSOCSTR_COMMAND, ".no-such-kind", "open",
                                      command, &size),
              HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND));

    const std::string key = "Software\\OstreyTests\\LateImports";
    HKEY created = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, (key + "\\Inner").c_str(), 0, nullptr, 0,
                              KEY_WRITE, nullptr, &created, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(created);
    EXPECT_EQ(late::SHDeleteKeyA(HKEY_CURRENT_USER, key.c_str()), ERROR_SUCCESS);
    HKEY gone = nullptr;
    EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &gone), ERROR_SUCCESS);
}

TEST(LateImports, AutomationFunctionsAreTheSystemsOwn) {
    const HRESULT com = CoInitialize(nullptr);
    BSTR text = late::SysAllocString(L"ready");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(late::SysStringLen(text), 5u);
    late::SysFreeString(text);

    VARIANT value;
    value.vt = VT_I4;
    late::VariantInit(&value);
    EXPECT_EQ(value.vt, VT_EMPTY);
    value.vt = VT_BSTR;
    value.bstrVal = late::SysAllocString(L"x");
    EXPECT_EQ(late::VariantClear(&value), S_OK);
    EXPECT_EQ(value.vt, VT_EMPTY);

    SAFEARRAY* bytes = late::SafeArrayCreateVector(VT_UI1, 0, 4);
    ASSERT_NE(bytes, nullptr);
    LONG low = -1, high = -1;
    EXPECT_EQ(late::SafeArrayGetLBound(bytes, 1, &low), S_OK);
    EXPECT_EQ(late::SafeArrayGetUBound(bytes, 1, &high), S_OK);
    EXPECT_EQ(low, 0);
    EXPECT_EQ(high, 3);
    void* data = nullptr;
    EXPECT_EQ(late::SafeArrayAccessData(bytes, &data), S_OK);
    EXPECT_NE(data, nullptr);
    EXPECT_EQ(late::SafeArrayUnaccessData(bytes), S_OK);
    SafeArrayDestroy(bytes);

    // A 1 x 1 bitmap file, as a picture's stream.
    unsigned char picture[58] = {'B', 'M', 58, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0,
                                 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 4, 0, 0, 0};
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, sizeof(picture));
    ASSERT_NE(block, nullptr);
    memcpy(GlobalLock(block), picture, sizeof(picture));
    GlobalUnlock(block);
    IStream* stream = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(block, TRUE, &stream), S_OK);
    IPicture* loaded = nullptr;
    EXPECT_EQ(late::OleLoadPicture(stream, sizeof(picture), FALSE, IID_IPicture,
                                   reinterpret_cast<void**>(&loaded)),
              S_OK);
    if (loaded) loaded->Release();
    stream->Release();
    if (SUCCEEDED(com)) CoUninitialize();
}

}  // namespace
