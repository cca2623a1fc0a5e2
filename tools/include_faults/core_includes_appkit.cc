// checked as: src/app/app_delegate.cc
// The core reaches a framework of one system.
#import <AppKit/AppKit.h>
