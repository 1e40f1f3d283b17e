// End to end: the sessions of README.md, replayed line by line against the service started as
// scripts/run.sh starts it, so a change that makes one of them untrue fails here.
#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/sim_control.h"
#include "support/telvane_client.h"
#include "support/temp_dir.h"
#include "support/velcora_process.h"

namespace {

// What a line of a session block is, by the README's convention.
enum class StepKind {
  Connect,   // "$ nc 127.0.0.1 <port>": a new client connection
  Control,   // "$ echo "<command>" | nc -U -q1 build/simtsp.sock": one command to the provider's socket
  Typed,     // "> <line>": typed into the client connection
  Skip,      // "...": lines that the README leaves out
  Received,  // anything else: what comes back; a last field "..." stands for the rest of the line
};

struct Step {
  StepKind kind;
  std::string text;  // without its mark; for Connect the port, for Control the command
  int readmeLine;
};

struct Session {
  std::vector<Step> steps;
};

const std::regex kConnect(R"(\$ nc 127\.0\.0\.1 (\d+))");
const std::regex kControl(R"re(\$ echo "([^"]*)" \| nc -U -q1 build/simtsp\.sock)re");

// The blocks fenced as "```session", in the order of the README. A shell line that is neither of the two
// the test can replay fails the test: every session in the README is one the test checks.
std::vector<Session> ReadSessions(const std::string& readme) {
  std::vector<Session> sessions;
  std::istringstream in(readme);
  bool inSession = false;
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    if (line.rfind("```", 0) == 0) {
      inSession = !inSession && line == "```session";
      if (inSession) sessions.emplace_back();
      continue;
    }
    if (!inSession || line.empty()) continue;
    std::smatch match;
    Step step{StepKind::Received, line, number};
    if (std::regex_match(line, match, kConnect)) {
      step = {StepKind::Connect, match[1], number};
    } else if (std::regex_match(line, match, kControl)) {
      step = {StepKind::Control, match[1], number};
    } else if (line.rfind("$ ", 0) == 0) {
      ADD_FAILURE() << "README.md:" << number << ": a shell line the session test cannot replay: " << line;
    } else if (line.rfind("> ", 0) == 0) {
      step = {StepKind::Typed, line.substr(2), number};
    } else if (line == "...") {
      step = {StepKind::Skip, line, number};
    }
    sessions.back().steps.push_back(step);
  }
  return sessions;
}

// Whether a received line is what the README shows: the same text, or the same start before a last
// field "...".
bool Shows(const std::string& received, const std::string& shown) {
  const std::string rest = " ...";
  if (shown.size() > rest.size() && shown.compare(shown.size() - rest.size(), rest.size(), rest) == 0)
    return received.rfind(shown.substr(0, shown.size() - 3), 0) == 0;
  return received == shown;
}

// Replays the steps of the sessions one after the other on one run of the service, as a reader who types
// them in the README's order does.
class SessionReplay {
 public:
  SessionReplay(int port, std::string controlSocket)
      : m_port(port), m_controlSocket(std::move(controlSocket)) {}

  // False, with the failure added, at the first step that does not come out as the README shows.
  bool Run(const Step& step) {
    const std::string where = "README.md:" + std::to_string(step.readmeLine) + ": ";
    switch (step.kind) {
      case StepKind::Connect:
        return Connect(where);
      case StepKind::Control:
        if (!m_control.connected() && !m_control.Connect(m_controlSocket))
          return Fail(where + "no control socket");
        m_controlAnswer = m_control.Ask(step.text);
        m_answerDue = true;
        return true;
      case StepKind::Typed:
        if (m_client == nullptr) return Fail(where + "typed before a connection: " + step.text);
        m_client->SendLine(step.text);
        return true;
      case StepKind::Skip:
        m_skipping = true;
        return true;
      case StepKind::Received:
        return Receive(step.text, where);
    }
    return false;
  }

 private:
  static bool Fail(const std::string& message) {
    ADD_FAILURE() << message;
    return false;
  }

  // The service takes the next client only once it has seen the last one go: a session ends its
  // connection (BYE) before the next one starts, and the test waits for the close it causes.
  bool Connect(const std::string& where) {
    if (m_client != nullptr) {
      for (std::string line = m_client->NextLine(); line != "<closed>"; line = m_client->NextLine())
        if (!m_skipping || line == "<none>")
          return Fail(where + "the last connection did not end but gave: " + line);
    }
    m_client = std::make_unique<testsupport::TelvaneClient>(m_port);
    m_skipping = false;
    return m_client->connected() || Fail(where + "no connection to port " + std::to_string(m_port));
  }

  bool Receive(const std::string& shown, const std::string& where) {
    if (m_answerDue) {
      m_answerDue = false;
      return Shows(m_controlAnswer, shown) ||
             Fail(where + "the control socket answered \"" + m_controlAnswer + "\", the README shows \"" +
                  shown + "\"");
    }
    if (m_client == nullptr) return Fail(where + "a received line before a connection: " + shown);
    std::string skipped;
    for (;;) {
      const std::string line = m_client->NextLine();
      if (Shows(line, shown)) {
        m_skipping = false;
        return true;
      }
      if (!m_skipping || line == "<none>" || line == "<closed>")
        return Fail(where + "the README shows \"" + shown + "\", the service sent \"" + line + "\"" +
                    (skipped.empty() ? "" : " after skipping:\n" + skipped));
      skipped += line + "\n";
    }
  }

  int m_port;
  std::string m_controlSocket;
  std::unique_ptr<testsupport::TelvaneClient> m_client;
  testsupport::SimControl m_control;
  std::string m_controlAnswer;
  bool m_answerDue = false;
  bool m_skipping = false;
};

TEST(Readme, EverySessionComesBackAsShownWhenTypedInTheReadmesOrderFromAFreshStart) {
  testsupport::TempDir dir;
  testsupport::PrepareServiceTest(dir / "simtsp.sock");
  const std::vector<Session> sessions = ReadSessions(testsupport::ReadFile(README_FILE));
  ASSERT_GE(sessions.size(), 3u) << "the README's session blocks are gone or no longer fenced as session";

  testsupport::VelcoraProcess service(VELCORA_EXE, dir);
  ASSERT_TRUE(service.Start(testsupport::SettingsWithoutPort(BUNDLED_SETTINGS)));
  SessionReplay replay(service.port(), dir / "simtsp.sock");
  // The test takes a free port; the README's is the one a reader's run listens on.
  std::smatch match;
  const std::string settings = testsupport::ReadFile(BUNDLED_SETTINGS);
  ASSERT_TRUE(std::regex_search(settings, match, std::regex(R"(loginPort=(\d+))")));
  const std::string bundledPort = match[1];
  for (const Session& session : sessions)
    for (const Step& step : session.steps) {
      EXPECT_TRUE(step.kind != StepKind::Connect || step.text == bundledPort)
          << "README.md:" << step.readmeLine << ": port " << step.text << ", conf/VELCORA.INI has "
          << bundledPort;
      if (!replay.Run(step)) {
        service.PrintLog();
        return;
      }
    }
}

}  // namespace
