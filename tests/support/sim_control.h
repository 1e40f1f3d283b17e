// A client of the simulated provider's control socket: one command line out, one answer line back.
#pragma once

#include <string>

namespace testsupport {

class SimControl {
 public:
  explicit SimControl(std::string path) : m_path(std::move(path)) {}
  const std::string& path() const { return m_path; }
  // The answer line to `command` without its line end; "ERR no connection: ..." when the socket cannot be
  // reached, "ERR no answer" when the provider closes or stays silent for 10 s.
  std::string Send(const std::string& command) const;

 private:
  std::string m_path;
};

}  // namespace testsupport
