// Type-check stub: the Core Graphics geometry, paths, context and display
// calls the adapters use.
#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <mach/boolean.h>
#include <os/availability.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef double CGFloat;  // 64-bit platforms

struct CGPoint {
  CGFloat x;
  CGFloat y;
};
typedef struct CGPoint CGPoint;
struct CGSize {
  CGFloat width;
  CGFloat height;
};
typedef struct CGSize CGSize;
struct CGRect {
  CGPoint origin;
  CGSize size;
};
typedef struct CGRect CGRect;
struct CGAffineTransform {
  CGFloat a, b, c, d, tx, ty;
};
typedef struct CGAffineTransform CGAffineTransform;

static inline CGRect CGRectMake(CGFloat x, CGFloat y, CGFloat width, CGFloat height) {
  CGRect rect = {{x, y}, {width, height}};
  return rect;
}

#pragma clang assume_nonnull begin

typedef struct CGContext* CGContextRef;
typedef const struct CGPath* CGPathRef;
typedef struct CGPath* CGMutablePathRef;

CGPathRef CGPathCreateWithRoundedRect(CGRect rect, CGFloat cornerWidth, CGFloat cornerHeight,
                                      const CGAffineTransform* _Nullable transform);
CGMutablePathRef CGPathCreateMutable(void);
void CGPathAddPath(CGMutablePathRef _Nullable path1, const CGAffineTransform* _Nullable m,
                   CGPathRef _Nullable path2);
void CGPathAddRect(CGMutablePathRef _Nullable path, const CGAffineTransform* _Nullable m,
                   CGRect rect);
void CGPathMoveToPoint(CGMutablePathRef _Nullable path, const CGAffineTransform* _Nullable m,
                       CGFloat x, CGFloat y);
void CGPathAddLineToPoint(CGMutablePathRef _Nullable path, const CGAffineTransform* _Nullable m,
                          CGFloat x, CGFloat y);
void CGPathCloseSubpath(CGMutablePathRef _Nullable path);
void CGPathRelease(CGPathRef _Nullable path);

void CGContextSetRGBFillColor(CGContextRef _Nullable c, CGFloat red, CGFloat green, CGFloat blue,
                              CGFloat alpha);
void CGContextAddPath(CGContextRef _Nullable c, CGPathRef _Nullable path);
void CGContextEOFillPath(CGContextRef _Nullable c);

typedef uint32_t CGDirectDisplayID;
boolean_t CGDisplayIsBuiltin(CGDirectDisplayID display) API_AVAILABLE(macos(10.2));

#pragma clang assume_nonnull end

#ifdef __cplusplus
}
#endif
