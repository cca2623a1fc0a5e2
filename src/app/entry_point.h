// The process entry: the two login options, or the menu-bar application.
#pragma once

#include <memory>

#include "app/app_delegate.h"
#include "platform/application.h"

namespace velmoryn {

// Set once by the entry point, held for the life of the process.
extern Application* app;
extern std::shared_ptr<AppDelegate> delegate;

// Uses the installed platform. Returns the exit status.
int runEntryPoint();

}  // namespace velmoryn
