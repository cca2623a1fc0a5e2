#include "platform/macos/settings_store_mac.h"

#import <Foundation/Foundation.h>

#include "platform/macos/scoped_cf_type_ref.h"
#include "platform/macos/string_bridge.h"
#include "platform/stored_value.h"

namespace velmoryn {
namespace {

void store(const std::string& key, CFPropertyListRef value) {
  NSString* name = mac::toNSString(key);
  if (name == nil) return;
  CFPreferencesSetAppValue((__bridge CFStringRef)name, value, kCFPreferencesCurrentApplication);
}

// A text is copied into `text`, which stored.text then points into.
StoredValue describe(CFTypeRef value, std::string& text) {
  StoredValue stored;
  const CFTypeID type = CFGetTypeID(value);
  if (type == CFBooleanGetTypeID()) {
    stored.kind = StoredValue::Kind::boolean;
    stored.boolean = CFBooleanGetValue(static_cast<CFBooleanRef>(value));
  } else if (type == CFNumberGetTypeID()) {
    CFNumberRef number = static_cast<CFNumberRef>(value);
    if (CFNumberIsFloatType(number)) {
      stored.kind = StoredValue::Kind::floatNumber;
      CFNumberGetValue(number, kCFNumberDoubleType, &stored.real);
    } else {
      stored.kind = StoredValue::Kind::integerNumber;
      CFNumberGetValue(number, kCFNumberSInt64Type, &stored.integer);
    }
  } else if (type == CFStringGetTypeID()) {
    stored.kind = StoredValue::Kind::text;
    text = mac::fromNSString((__bridge NSString*)value);
    stored.text = text;
  }
  return stored;
}

}  // namespace

std::optional<SettingsValue> MacSettingsStore::object(const std::string& key) const {
  @autoreleasepool {
    NSString* name = mac::toNSString(key);
    if (name == nil) return std::nullopt;
    const mac::ScopedCFTypeRef<CFPropertyListRef> value(
        CFPreferencesCopyAppValue((__bridge CFStringRef)name, kCFPreferencesCurrentApplication));
    if (!value) return std::nullopt;
    std::string text;
    return settingsValueFrom(describe(value.get(), text));
  }
}

void MacSettingsStore::setBool(const std::string& key, bool value) {
  store(key, value ? kCFBooleanTrue : kCFBooleanFalse);
}

void MacSettingsStore::setInteger(const std::string& key, std::int64_t value) {
  const mac::ScopedCFTypeRef<CFNumberRef> number(
      CFNumberCreate(nullptr, kCFNumberSInt64Type, &value));
  if (number) store(key, number.get());
}

void MacSettingsStore::setDouble(const std::string& key, double value) {
  const mac::ScopedCFTypeRef<CFNumberRef> number(
      CFNumberCreate(nullptr, kCFNumberDoubleType, &value));
  if (number) store(key, number.get());
}

// Setting no value removes the key.
void MacSettingsStore::remove(const std::string& key) { store(key, nullptr); }

bool MacSettingsStore::synchronize() {
  return CFPreferencesAppSynchronize(kCFPreferencesCurrentApplication);
}

}  // namespace velmoryn
