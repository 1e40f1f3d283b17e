// Tests of the telephony setup's provider list: identifiers, the one-entry-per-provider rule, concurrent
// adds.
#include "plat/telephony.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "plat/registry.h"
#include "support/registry_value.h"
#include "support/temp_dir.h"

namespace {

const char kProviders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Telephony\\Providers";
constexpr plat::LONG kInvalPointer = static_cast<plat::LONG>(0x80000035);
constexpr plat::LONG kNoMultipleInstance = static_cast<plat::LONG>(0x80000056);

std::string Value(const std::string& name) {
  return testsupport::RegistryValue(plat::HKEY_LOCAL_MACHINE, kProviders, name.c_str());
}

void WriteNumber(plat::HKEY key, const char* name, plat::DWORD value) {
  plat::RegSetValueExA(key, name, 0, plat::REG_DWORD, reinterpret_cast<const plat::BYTE*>(&value),
                       sizeof(value));
}

class TelephonyTest : public ::testing::Test {
 protected:
  testsupport::ScopedMachine m_machine;
};

TEST_F(TelephonyTest, ProvidersAreAppendedUnderIdentifiersOfTheirOwn) {
  plat::DWORD first = 0, second = 0;
  ASSERT_EQ(0, plat::lineAddProvider("SIMTSP.TSP", nullptr, &first));
  ASSERT_EQ(0, plat::lineAddProvider("C:\\tel\\other.tsp", nullptr, &second));
  EXPECT_EQ(1u, first);
  EXPECT_EQ(2u, second);
  EXPECT_EQ("2", Value("NumProviders"));
  EXPECT_EQ("3", Value("NextProviderID"));
  EXPECT_EQ("SIMTSP.TSP", Value("ProviderFilename0"));
  EXPECT_EQ("1", Value("ProviderID0"));
  EXPECT_EQ("C:\\tel\\other.tsp", Value("ProviderFilename1")) << "the name is entered as given";
  EXPECT_EQ("2", Value("ProviderID1"));
}

TEST_F(TelephonyTest, AProviderIsListedOnceWhateverItsDirectoryAndCase) {
  plat::DWORD id = 0;
  ASSERT_EQ(0, plat::lineAddProvider("SIMTSP.TSP", nullptr, &id));
  for (const char* again : {"SIMTSP.TSP", "simtsp.tsp", "D:\\bin\\SimTsp.Tsp", "/opt/bin/SIMTSP.TSP"}) {
    plat::DWORD untouched = 77;
    EXPECT_EQ(kNoMultipleInstance, plat::lineAddProvider(again, nullptr, &untouched)) << again;
    EXPECT_EQ(77u, untouched) << again;
  }
  EXPECT_EQ("1", Value("NumProviders"));
  EXPECT_EQ("2", Value("NextProviderID"));
}

TEST_F(TelephonyTest, AnIdentifierAlreadyListedIsNeverGivenAgain) {
  plat::HKEY key = nullptr;
  ASSERT_EQ(0, plat::RegCreateKeyExA(plat::HKEY_LOCAL_MACHINE, kProviders, 0, nullptr, 0,
                                     plat::KEY_ALL_ACCESS, nullptr, &key, nullptr));
  // A list written by other hands: no NextProviderID, and one that lags behind the listed identifiers.
  const char name[] = "unimdm.tsp";
  plat::RegSetValueExA(key, "ProviderFilename0", 0, plat::REG_SZ, reinterpret_cast<const plat::BYTE*>(name),
                       sizeof(name));
  WriteNumber(key, "ProviderID0", 7);
  WriteNumber(key, "NumProviders", 1);
  plat::DWORD id = 0;
  ASSERT_EQ(0, plat::lineAddProvider("SIMTSP.TSP", nullptr, &id));
  EXPECT_EQ(8u, id);
  WriteNumber(key, "NextProviderID", 3);
  ASSERT_EQ(0, plat::lineAddProvider("third.tsp", nullptr, &id));
  EXPECT_EQ(9u, id);
  plat::RegCloseKey(key);
  EXPECT_EQ("unimdm.tsp", Value("ProviderFilename0")) << "entries already there stay";
}

TEST_F(TelephonyTest, MissingNamesAndResultsAreRefused) {
  plat::DWORD id = 0;
  EXPECT_EQ(kInvalPointer, plat::lineAddProvider(nullptr, nullptr, &id));
  EXPECT_EQ(kInvalPointer, plat::lineAddProvider("", nullptr, &id));
  EXPECT_EQ(kInvalPointer, plat::lineAddProvider("SIMTSP.TSP", nullptr, nullptr));
  EXPECT_EQ("<no key>", Value("NumProviders")) << "nothing was entered";
}

TEST_F(TelephonyTest, ConcurrentAddsTakeDistinctEntries) {
  constexpr int kAdders = 8;
  std::vector<plat::DWORD> ids(kAdders);
  std::vector<plat::LONG> results(kAdders, -1);
  std::vector<std::thread> adders;
  for (int i = 0; i < kAdders; ++i)
    adders.emplace_back([&, i] {
      results[i] = plat::lineAddProvider(("P" + std::to_string(i) + ".TSP").c_str(), nullptr, &ids[i]);
    });
  for (std::thread& adder : adders) adder.join();
  EXPECT_EQ(std::vector<plat::LONG>(kAdders, 0), results);
  EXPECT_EQ(static_cast<size_t>(kAdders), std::set<plat::DWORD>(ids.begin(), ids.end()).size());
  EXPECT_EQ(std::to_string(kAdders), Value("NumProviders"));
  std::set<std::string> names;
  for (int i = 0; i < kAdders; ++i) names.insert(Value("ProviderFilename" + std::to_string(i)));
  EXPECT_EQ(static_cast<size_t>(kAdders), names.size()) << "no entry was written over";
}

}  // namespace
