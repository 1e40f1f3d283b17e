// The configuration of the simulated phone system: its lines and the delays of its events.
#pragma once

#include <chrono>
#include <iosfwd>
#include <string>
#include <vector>

namespace simtsp {

// One line device with its single address; both texts are UTF-8 and may be empty.
struct LineSetting {
  std::string name;
  std::string address;
};

// How long the phone system takes before each step it reports on its own.
struct Delays {
  std::chrono::milliseconds completion{10};   // an asynchronous request until its completion
  std::chrono::milliseconds dialtone{50};     // a new outgoing call until it has dial tone
  std::chrono::milliseconds dialing{50};      // dial tone until the number is being dialled
  std::chrono::milliseconds proceeding{100};  // dialling until the call proceeds
  std::chrono::milliseconds ringback{100};    // proceeding until the far end rings
  std::chrono::milliseconds connected{300};   // ringback until an outside party answers
};

struct Config {
  std::vector<LineSetting> lines;
  Delays delays;
};

// Four lines "Line 1" to "Line 4" with the addresses "201" to "204", and the default delays.
Config DefaultConfig();

// Splits one statement into its fields: blanks and tabs separate them, double quotes keep blanks in a
// field or make an empty one (""). False when a quote is not closed.
bool SplitFields(const std::string& statement, std::vector<std::string>& fields);

// The line that fields[first] onwards describe: the last field is the address, the fields before it,
// joined by one blank, the name. False when fewer than two fields are there.
bool LineFromFields(const std::vector<std::string>& fields, size_t first, LineSetting& line);

// The delay named `step` (one of completion, dialtone, dialing, proceeding, ringback, connected) in
// `delays`; null for any other name.
std::chrono::milliseconds* FindDelay(Delays& delays, const std::string& step);
// Reads a delay of 0 to 3600000 milliseconds written as decimal digits; false leaves `value` alone.
bool ParseMilliseconds(const std::string& text, std::chrono::milliseconds& value);

// Reads a configuration text (format at the top of config.cpp). On success fills `config` and returns
// true; otherwise leaves `config` alone and describes the first fault, with its line number, in `error`.
bool ParseConfig(const std::string& text, Config& config, std::string& error);

// The configuration of the file at `path`; the defaults for a null or empty path. A file that cannot be
// read or does not parse also gives the defaults, and one line about it goes to `warnings`.
Config LoadConfig(const char* path, std::ostream& warnings);

}  // namespace simtsp
