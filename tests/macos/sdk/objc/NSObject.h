// Type-check stub: the root class and the NSObject protocol.
#pragma once

#include <objc/objc.h>

@class NSString;

@protocol NSObject
@property(readonly, copy) NSString* description;
- (BOOL)respondsToSelector:(SEL)aSelector;
@end

__attribute__((objc_root_class))
@interface NSObject<NSObject> {
  Class isa;
}
+ (instancetype)alloc;
+ (instancetype)new;
- (instancetype)init;
@end
