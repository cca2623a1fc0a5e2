// The login item of the running application on SMAppService. Main thread only.
#pragma once

#include "platform/login_items.h"

namespace velmoryn {

class MacLoginItems : public LoginItemService {
 public:
  std::int64_t status() override;
  LoginItemResult registerApp() override;
  LoginItemResult unregisterApp() override;
  void openSystemSettingsLoginItems() override;
};

}  // namespace velmoryn
