// checked as: src/reveal/edge_reveal.cc
// The edge gesture reaches up into the application.
#include "app/app_delegate.h"
