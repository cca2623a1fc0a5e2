// checked as: tools/app_icon/app_icon.cc
// The app icon tool reaches past the icon into the application.
#include "app/app_delegate.h"
