// A nullable result handed on where the SDK requires non-null must not compile.
// expect: implicit conversion from nullable pointer 'NSURL \* _Nullable' to non-nullable pointer
#import <Foundation/Foundation.h>

NSArray<NSURL*>* _Nullable urlList(NSString* _Nonnull text) {
#if VELMORYN_FAULT
  return [NSArray arrayWithObject:[NSURL URLWithString:text]];
#else
  NSURL* url = [NSURL URLWithString:text];
  return url != nil ? [NSArray arrayWithObject:url] : nil;
#endif
}
