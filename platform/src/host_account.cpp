// The host's account entries, read once for the layer's areas that need a user name or a home.
#include "host_account.h"

#include <pwd.h>

#include <vector>

namespace plat::detail {

std::optional<HostAccount> FindHostAccount(uid_t uid) {
  passwd entry;
  passwd* found = nullptr;
  std::vector<char> storage(16384);
  if (getpwuid_r(uid, &entry, storage.data(), storage.size(), &found) != 0 || found == nullptr)
    return std::nullopt;
  return HostAccount{found->pw_name != nullptr ? found->pw_name : "",
                     found->pw_dir != nullptr ? found->pw_dir : ""};
}

}  // namespace plat::detail
