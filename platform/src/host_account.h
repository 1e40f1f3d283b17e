// The host's account entries, read once for the layer's areas that need a user name or a home.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace plat::detail {

struct HostAccount {
  std::string name;
  std::string home;
};

// The password-database entry of `uid`; nullopt when there is none.
std::optional<HostAccount> FindHostAccount(uid_t uid);

}  // namespace plat::detail
