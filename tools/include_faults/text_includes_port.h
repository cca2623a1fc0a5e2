// checked as: src/text/strings.h
// The texts, which every core folder includes, include something themselves.
#include "platform/log.h"
