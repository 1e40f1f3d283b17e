// Tests of GetTapiProviderId over the telephony provider list of the registry.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "ToolFunktion.h"
#include "plat/registry.h"
#include "support/temp_dir.h"

namespace {

const char kProviders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Telephony\\Providers";

class ProviderLookupTest : public ::testing::Test {
 protected:
  // Registers the files with the identifiers 1000 + index, and NumProviders as `count` (or their number).
  void Register(const std::vector<std::string>& files, int count = -1) {
    TOOLFUNC_registry::CRegTool providers;
    ASSERT_EQ(0, providers.Open(plat::HKEY_LOCAL_MACHINE, kProviders));
    providers.WriteDword("NumProviders", count < 0 ? static_cast<plat::DWORD>(files.size()) : count);
    for (size_t i = 0; i < files.size(); ++i) {
      providers.WriteString(("ProviderFilename" + std::to_string(i)).c_str(), files[i].c_str());
      providers.WriteDword(("ProviderID" + std::to_string(i)).c_str(), static_cast<plat::DWORD>(1000 + i));
    }
  }
  testsupport::ScopedMachine m_machine;
};

TEST_F(ProviderLookupTest, MatchesFileNameAndExtensionWithoutRegardToCase) {
  std::string longPath = "C:\\" + std::string(120, 'd') + "\\" + std::string(40, 'e') + "\\SIMTSP.TSP";
  Register({"unimdm.tsp", "C:\\WINDOWS\\system32\\SIMTSP.TSP", "simtsp.tsp", "D:\\Other\\kmddsp.tsp",
            "T\xC4PI.TSP"});
  struct Case {
    const char* library;
    plat::DWORD id;
  } cases[] = {
      {"SIMTSP.TSP", 1001},
      {"D:\\tel\\simtsp.tsp", 1001},
      {"C:\\WINDOWS\\system32\\SimTsp.Tsp", 1001},
      {"kmddsp.tsp", 1003},
      {"C:\\kmddsp.tsp", 1003},
      {"unimdm.tsp", 1000},
      {"t\xE4pi.tsp", 1004},  // the Windows-1252 letters fold too
      {"simtsp", 0},
      {"other.tsp", 0},
      {"", 0},
      {"C:\\dir\\", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(c.id, TOOLFUNC_registry::GetTapiProviderId(c.library)) << c.library;
  Register({longPath});
  EXPECT_EQ(1000u, TOOLFUNC_registry::GetTapiProviderId("SIMTSP.TSP"))
      << "a long registered path is read whole";
}

TEST_F(ProviderLookupTest, NothingListedGivesZero) {
  EXPECT_EQ(0u, TOOLFUNC_registry::GetTapiProviderId("SIMTSP.TSP")) << "no providers key";
  Register({"SIMTSP.TSP"}, 0);
  EXPECT_EQ(0u, TOOLFUNC_registry::GetTapiProviderId("SIMTSP.TSP")) << "NumProviders 0";
  Register({"OTHER.TSP", "SIMTSP.TSP"}, 1);
  EXPECT_EQ(0u, TOOLFUNC_registry::GetTapiProviderId("SIMTSP.TSP"))
      << "entries past NumProviders are not read";
}

TEST_F(ProviderLookupTest, UnreadableOrEmptyEntriesNeverMatch) {
  Register({"", "SIMTSP.TSP"});
  TOOLFUNC_registry::CRegTool providers;
  ASSERT_EQ(0, providers.Open(plat::HKEY_LOCAL_MACHINE, kProviders));
  providers.WriteDword("NumProviders", 3);
  EXPECT_EQ(1001u, TOOLFUNC_registry::GetTapiProviderId("SIMTSP.TSP"));
  EXPECT_EQ(0u, TOOLFUNC_registry::GetTapiProviderId("X.TSP"));
}

TEST_F(ProviderLookupTest, AMatchWithoutIdentifierGivesZero) {
  Register({"SIMTSP.TSP", "SIMTSP.TSP"});
  plat::HKEY key = nullptr;
  ASSERT_EQ(0, plat::RegOpenKeyExA(plat::HKEY_LOCAL_MACHINE, kProviders, 0, plat::KEY_ALL_ACCESS, &key));
  ASSERT_EQ(0, plat::RegDeleteValueA(key, "ProviderID0"));
  plat::RegCloseKey(key);
  EXPECT_EQ(0u, TOOLFUNC_registry::GetTapiProviderId("SIMTSP.TSP")) << "the first match ends the search";
}

}  // namespace
