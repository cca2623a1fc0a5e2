#include "app/entry_point.h"

#include "platform/platform.h"

// Placeholder body.
namespace velmoryn {
Application* app = nullptr;
std::shared_ptr<AppDelegate> delegate;
int runEntryPoint() { return 0; }
}  // namespace velmoryn
