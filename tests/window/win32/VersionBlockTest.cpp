#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <windows.h>

namespace {

// The version block of this test program.
class VersionBlock : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t path[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    ASSERT_GT(size, 0u) << "no version block, error " << GetLastError();
    block.resize(size);
    ASSERT_TRUE(GetFileVersionInfoW(path, 0, size, block.data()));
  }

  std::wstring Value(const wchar_t* name) {
    void* text = nullptr;
    UINT length = 0;
    const std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueW(block.data(), key.c_str(), &text, &length) || length == 0) return L"(none)";
    return std::wstring(static_cast<const wchar_t*>(text));
  }

  std::vector<unsigned char> block;
};

TEST_F(VersionBlock, NamesTheProgramAndItsVersion) {
  EXPECT_EQ(Value(L"FileVersion"), L"1.00");
  EXPECT_EQ(Value(L"ProductVersion"), L"1.00");
  EXPECT_EQ(Value(L"ProductName"), L"KAVRO_TEST_PRINTERS");
  EXPECT_EQ(Value(L"InternalName"), L"KAVRO_TEST_PRINTERS");
  EXPECT_EQ(Value(L"OriginalFilename"), L"KAVRO_TEST_PRINTERS.exe");
  EXPECT_EQ(Value(L"CompanyName"), L"KAVRO SOFTWARE");

  void* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", &fixed, &length));
  ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
  const auto* info = static_cast<const VS_FIXEDFILEINFO*>(fixed);
  EXPECT_EQ(info->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(info->dwFileVersionMS, 0x00010000u) << "1.0";
  EXPECT_EQ(info->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(info->dwFileType, static_cast<DWORD>(VFT_APP));
}

}  // namespace
