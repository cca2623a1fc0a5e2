#include "platform/macos/status_bar_mac.h"

#import <AppKit/AppKit.h>

#include <utility>

#include "platform/macos/icon_image_mac.h"
#include "platform/macos/string_bridge.h"

// The target of the button and of the menu items: every action method the
// core names forwards to the one function it was made with.
@interface VelmorynActionTarget : NSObject
- (instancetype)initWithPerform:(std::function<void()>)perform;
- (void)statusClicked;
- (void)menuToggle;
- (void)toggleSwipeReveal;
- (void)toggleExternalDisplay;
- (void)toggleLogin;
- (void)quit;
@end

@implementation VelmorynActionTarget {
  std::function<void()> _perform;
}
- (instancetype)initWithPerform:(std::function<void()>)perform {
  if ((self = [super init])) _perform = std::move(perform);
  return self;
}
- (void)forward {
  if (_perform) _perform();
}
- (void)statusClicked {
  [self forward];
}
- (void)menuToggle {
  [self forward];
}
- (void)toggleSwipeReveal {
  [self forward];
}
- (void)toggleExternalDisplay {
  [self forward];
}
- (void)toggleLogin {
  [self forward];
}
- (void)quit {
  [self forward];
}
@end

namespace velmoryn {
namespace {

// AppKit takes no nil for titles, names and selectors: text that is not
// UTF-8 shows as nothing.
NSString* textOf(const std::string& text) {
  NSString* string = mac::toNSString(text);
  return string != nil ? string : @"";
}

VelmorynActionTarget* makeTarget(const Action& action) {
  return [[VelmorynActionTarget alloc] initWithPerform:action.perform];
}

NSMenu* makeMenu(const Menu& menu) {
  NSMenu* result = [[NSMenu alloc] initWithTitle:@""];
  result.autoenablesItems = NO;
  for (const MenuItem& item : menu.items) {
    if (item.isSeparator) {
      [result addItem:[NSMenuItem separatorItem]];
      continue;
    }
    SEL action = item.action ? NSSelectorFromString(textOf(item.action->selector)) : nullptr;
    NSMenuItem* entry = [[NSMenuItem alloc] initWithTitle:textOf(item.title)
                                                   action:action
                                            keyEquivalent:textOf(item.keyEquivalent)];
    entry.enabled = item.enabled;
    entry.state = item.state == MenuItemState::on ? NSControlStateValueOn : NSControlStateValueOff;
    if (!item.toolTip.empty()) entry.toolTip = textOf(item.toolTip);
    if (item.action) {
      VelmorynActionTarget* target = makeTarget(*item.action);
      entry.target = target;
      // The item's target is weak: the item itself keeps it alive, however
      // late AppKit delivers the choice.
      entry.representedObject = target;
    }
    [result addItem:entry];
  }
  return result;
}

class MacStatusItem : public StatusItem {
 public:
  explicit MacStatusItem(NSStatusItem* item) : item(item) {}
  ~MacStatusItem() override { [[NSStatusBar systemStatusBar] removeStatusItem:item]; }

  void setAutosaveName(const std::string& name) override { item.autosaveName = textOf(name); }
  bool hasButton() const override { return item.button != nil; }

  void setButtonAction(Action action) override {
    NSStatusBarButton* button = item.button;
    if (button == nil) return;
    buttonTarget = makeTarget(action);  // the button's target is weak
    button.target = buttonTarget;
    button.action = NSSelectorFromString(textOf(action.selector));
  }

  void sendActionOn(std::uint64_t mask) override {
    [item.button sendActionOn:static_cast<NSEventMask>(mask)];
  }

  void setButtonImage(const IconImage& image) override {
    NSStatusBarButton* button = item.button;
    if (button == nil) return;
    IconImage captured = image;
    NSImage* drawn = [NSImage imageWithSize:NSMakeSize(image.width, image.height)
                                    flipped:image.flipped
                             drawingHandler:^BOOL(NSRect) {
                               return drawIconInCurrentContext(captured);
                             }];
    [drawn setTemplate:image.isTemplate];
    drawn.accessibilityDescription = imageDescription;
    button.image = drawn;
  }

  void setButtonImageDescription(const std::string& description) override {
    imageDescription = textOf(description);
    item.button.image.accessibilityDescription = imageDescription;
  }

  void setButtonToolTip(const std::string& toolTip) override {
    item.button.toolTip = textOf(toolTip);
  }

  void setMenu(std::optional<Menu> menu) override { item.menu = menu ? makeMenu(*menu) : nil; }

  void performClick() override { [item.button performClick:nil]; }

 private:
  NSStatusItem* item;
  VelmorynActionTarget* buttonTarget = nil;
  NSString* _Nullable imageDescription = nil;
};

}  // namespace

std::unique_ptr<StatusItem> MacStatusBar::statusItem(double length) {
  NSStatusItem* item = [[NSStatusBar systemStatusBar] statusItemWithLength:length];
  if (item == nil) return nullptr;
  return std::make_unique<MacStatusItem>(item);
}

}  // namespace velmoryn
