// checked as: src/sim/simulated_dock.cc
// The simulation includes an Apple framework.
#import <Foundation/Foundation.h>
