#include <gtest/gtest.h>
#include <windows.h>
TEST(EngineSmoke, RegistrySandboxIsEmpty) {
  HKEY k; EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Wine", 0, KEY_READ, &k));
}
