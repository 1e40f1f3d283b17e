// A fixture for the command handlers: the locks, a line list of one line "201", and the running of a
// handler on a command's fields; each test puts its fake entry points into g_TspiEntryPoints.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "commands.h"
#include "plat/sync.h"
#include "provider.h"
#include "service_window.h"

class CommandTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    plat::InitializeCriticalSection(&CServiceWindow::m_csSend);
    plat::InitializeCriticalSection(&CServiceWindow::m_csTapiCall);
  }
  void SetUp() override {
    g_TspiEntryPoints = {};
    std::memset(CServiceWindow::CallTable, 0, sizeof(CServiceWindow::CallTable));
    m_root = new CLineObject(0xFFFFFFFF);
    m_line = new CLineObject(0);
    std::strcpy(m_line->GetAddress(), "201");
    m_root->AddObject(m_line);
    CServiceWindow::m_pLineRoot = m_root;
  }
  void TearDown() override {
    delete m_root;
    CServiceWindow::m_pLineRoot = nullptr;
  }
  // Runs a command handler on a line split into its fields.
  static void Run(void (*handler)(CommandFields), const std::vector<std::string>& words) {
    char fields[12][256] = {};
    for (size_t i = 0; i < words.size(); ++i) std::strcpy(fields[i], words[i].c_str());
    handler(fields);
  }
  CLineObject* m_root = nullptr;
  CLineObject* m_line = nullptr;
};
