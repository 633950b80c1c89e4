// New files: a secret file is private to its owner from the moment it exists, and
// nothing that already exists at a path is opened for writing.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "file_io.h"

#if defined(_WIN32)
#include <aclapi.h>
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace {

std::string scratch_path(const char* name) {
#if defined(_WIN32)
  char tmp[MAX_PATH];
  GetTempPathA(sizeof tmp, tmp);
  return std::string(tmp) + name;
#else
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir != nullptr ? dir : "/tmp") + "/" + name;
#endif
}

TEST(CreateNew, RefusesAnExistingFileAndLeavesIt) {
  const std::string path = scratch_path("vt-create-new-existing");
  std::remove(path.c_str());
  FILE* f = cli_create_new(path.c_str(), false);
  ASSERT_NE(nullptr, f);
  std::fputs("kept", f);
  std::fclose(f);
  EXPECT_EQ(nullptr, cli_create_new(path.c_str(), true));
  EXPECT_EQ(nullptr, cli_create_new(path.c_str(), false));
  f = std::fopen(path.c_str(), "rb");
  ASSERT_NE(nullptr, f);
  char buf[8] = {};
  EXPECT_EQ(4u, std::fread(buf, 1, sizeof buf, f));
  std::fclose(f);
  EXPECT_EQ(std::string("kept"), buf);
  std::remove(path.c_str());
}

#if defined(_WIN32)

// The secret file's list is protected (nothing inherited from the directory) and holds one
// entry: full access for the current user.
TEST(CreateNew, SecretFileGrantsTheCurrentUserAlone) {
  const std::string path = scratch_path("vt-create-new-secret");
  DeleteFileA(path.c_str());
  FILE* f = cli_create_new(path.c_str(), true);
  ASSERT_NE(nullptr, f);
  std::fclose(f);
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
            GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                  nullptr, &dacl, nullptr, &sd));
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(GetSecurityDescriptorControl(sd, &control, &revision));
  EXPECT_NE(0, control & SE_DACL_PROTECTED);
  ASSERT_NE(nullptr, dacl);
  ASSERT_EQ(1u, dacl->AceCount);
  void* ace = nullptr;
  ASSERT_TRUE(GetAce(dacl, 0, &ace));
  auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
  EXPECT_EQ(ACCESS_ALLOWED_ACE_TYPE, allowed->Header.AceType);
  EXPECT_EQ(static_cast<DWORD>(FILE_ALL_ACCESS), allowed->Mask & FILE_ALL_ACCESS);
  HANDLE token = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
  alignas(8) unsigned char user[256];
  DWORD len = 0;
  ASSERT_TRUE(GetTokenInformation(token, TokenUser, user, sizeof user, &len));
  CloseHandle(token);
  EXPECT_TRUE(EqualSid(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, &allowed->SidStart));
  LocalFree(sd);
  DeleteFileA(path.c_str());
}

#else

// The mode is set at creation, so no umask widens it and no moment exists where the file
// is readable by others.
TEST(CreateNew, SecretFileIsOwnerOnlyUnderAnyUmask) {
  const std::string path = scratch_path("vt-create-new-secret");
  std::remove(path.c_str());
  const mode_t old = umask(0);
  FILE* f = cli_create_new(path.c_str(), true);
  umask(old);
  ASSERT_NE(nullptr, f);
  std::fclose(f);
  struct stat st {};
  ASSERT_EQ(0, stat(path.c_str(), &st));
  EXPECT_EQ(0600u, st.st_mode & 07777u);
  std::remove(path.c_str());
}

#endif

}  // namespace
