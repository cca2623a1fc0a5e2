#include "platform/macos/icon_image_mac.h"

#import <AppKit/AppKit.h>

#include <variant>

#include "platform/macos/path_translation.h"
#include "platform/macos/scoped_cf_type_ref.h"

namespace velmoryn {
namespace {

CGRect cgRect(const Rect& rect) { return CGRectMake(rect.x, rect.y, rect.width, rect.height); }

// Valid only while the drawing handler runs: AppKit owns the context.
class CoreGraphicsContext : public DrawingContext {
 public:
  explicit CoreGraphicsContext(CGContextRef context) : context(context) {}

  void setFillColor(Color color) override {
    CGContextSetRGBFillColor(context, color.red, color.green, color.blue, color.alpha);
  }

  void fillPathEvenOdd(const Path& path) override {
    const mac::ScopedCFTypeRef<CGMutablePathRef> mutablePath(CGPathCreateMutable());
    for (const PathElement& element : path.elements) {
      std::visit([&mutablePath](const auto& e) { add(mutablePath.get(), e); }, element);
    }
    CGContextAddPath(context, mutablePath.get());
    CGContextEOFillPath(context);
  }

 private:
  static void add(CGMutablePathRef path, const RoundedRectElement& e) {
    const mac::CornerRadii radii = mac::clampedCornerRadii(e.rect, e.cornerWidth, e.cornerHeight);
    const mac::ScopedCFTypeRef<CGPathRef> rounded(
        CGPathCreateWithRoundedRect(cgRect(e.rect), radii.width, radii.height, nullptr));
    CGPathAddPath(path, nullptr, rounded.get());
  }
  static void add(CGMutablePathRef path, const RectElement& e) {
    CGPathAddRect(path, nullptr, cgRect(e.rect));
  }
  static void add(CGMutablePathRef path, const MoveToElement& e) {
    CGPathMoveToPoint(path, nullptr, e.point.x, e.point.y);
  }
  static void add(CGMutablePathRef path, const LineToElement& e) {
    CGPathAddLineToPoint(path, nullptr, e.point.x, e.point.y);
  }
  static void add(CGMutablePathRef path, const CloseSubpathElement&) { CGPathCloseSubpath(path); }

  CGContextRef context;
};

}  // namespace

bool drawIconInCurrentContext(const IconImage& image) {
  if (!image.drawingHandler) return false;
  NSGraphicsContext* current = [NSGraphicsContext currentContext];
  CGContextRef context = current != nil ? current.CGContext : nullptr;
  if (context == nullptr) return image.drawingHandler(nullptr);
  CoreGraphicsContext drawing(context);
  return image.drawingHandler(&drawing);
}

}  // namespace velmoryn
