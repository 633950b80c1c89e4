// New files: a secret file is private to its owner from the moment it exists, and
// nothing that already exists at a path is opened for writing.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
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

std::string contents(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return "(none)";
  char buf[16] = {};
  const size_t got = std::fread(buf, 1, sizeof buf, f);
  std::fclose(f);
  return std::string(buf, got);
}

// A finished temporary takes its name only where nothing is: a file that appeared there
// since the name was checked stays as it was, and the temporary is left for removal.
TEST(Publish, GivesTheNameOnceAndNeverReplaces) {
  const std::string path = scratch_path("vt-publish");
  std::remove(path.c_str());
  char tmp[4200];
  for (const char* text : {"first", "second"}) {
    FILE* f = cli_create_temp(path.c_str(), true, tmp, sizeof tmp);
    ASSERT_NE(nullptr, f);
    EXPECT_NE(nullptr, std::strstr(tmp, ".vt-publish.tmp-"));
    std::fputs(text, f);
    std::fclose(f);
    const bool first = std::string(text) == "first";
    EXPECT_EQ(first ? 0 : -1, cli_publish(tmp, path.c_str()));
    EXPECT_EQ(!first, cli_path_exists(tmp));
    EXPECT_EQ("first", contents(path));
    cli_remove(tmp);
  }
  std::remove(path.c_str());
}

#if defined(_WIN32)

// Under wine, which builds a file's list from its Unix mode (always with an entry for
// SYSTEM) and keeps neither the protected flag nor the list as given.
bool under_wine() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// Whether the file's list grants anyone but the current user (and the system), and whether
// it is protected from inheritance and holds one entry.
struct Access {
  bool others = false, user_full = false, protected_single = false;
};

Access access_of(const std::string& path) {
  Access out;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                            nullptr, &dacl, nullptr, &sd) != ERROR_SUCCESS || dacl == nullptr)
    return out;
  HANDLE token = nullptr;
  alignas(8) unsigned char user[256];
  DWORD len = 0;
  OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
  GetTokenInformation(token, TokenUser, user, sizeof user, &len);
  CloseHandle(token);
  PSID me = reinterpret_cast<TOKEN_USER*>(user)->User.Sid;
  alignas(8) unsigned char system_sid[SECURITY_MAX_SID_SIZE];
  DWORD sid_len = sizeof system_sid;
  CreateWellKnownSid(WinLocalSystemSid, nullptr, system_sid, &sid_len);
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    if (!GetAce(dacl, i, &ace)) continue;
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    if (allowed->Header.AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
    PSID sid = &allowed->SidStart;
    if (EqualSid(sid, me))
      out.user_full = (allowed->Mask & FILE_ALL_ACCESS) == FILE_ALL_ACCESS;
    else if (!EqualSid(sid, system_sid))
      out.others = true;
  }
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  GetSecurityDescriptorControl(sd, &control, &revision);
  out.protected_single = (control & SE_DACL_PROTECTED) != 0 && dacl->AceCount == 1;
  LocalFree(sd);
  return out;
}

TEST(CreateNew, SecretFileGrantsTheCurrentUserAlone) {
  const std::string secret = scratch_path("vt-create-new-secret");
  const std::string open = scratch_path("vt-create-new-public");
  DeleteFileA(secret.c_str());
  DeleteFileA(open.c_str());
  FILE* f = cli_create_new(secret.c_str(), true);
  ASSERT_NE(nullptr, f);
  std::fclose(f);
  f = cli_create_new(open.c_str(), false);
  ASSERT_NE(nullptr, f);
  std::fclose(f);
  const Access s = access_of(secret), p = access_of(open);
  EXPECT_TRUE(s.user_full);
  EXPECT_FALSE(s.others);
  // The public file, with the directory's default access, is readable by others: the
  // check above tells the two apart.
  EXPECT_TRUE(p.others);
  if (!under_wine()) {
    EXPECT_TRUE(s.protected_single);
  }
  DeleteFileA(secret.c_str());
  DeleteFileA(open.c_str());
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
