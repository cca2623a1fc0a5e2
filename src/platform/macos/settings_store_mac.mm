#include "platform/macos/settings_store_mac.h"

#import <Foundation/Foundation.h>

#include "platform/macos/scoped_cf_type_ref.h"
#include "platform/stored_value.h"

namespace velmoryn {
namespace {

mac::ScopedCFTypeRef<CFStringRef> makeKey(const std::string& key) {
  return mac::ScopedCFTypeRef<CFStringRef>(
      CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(key.data()),
                              static_cast<CFIndex>(key.size()), kCFStringEncodingUTF8, false));
}

void store(const std::string& key, CFPropertyListRef value) {
  const auto name = makeKey(key);
  if (!name) return;
  CFPreferencesSetAppValue(name.get(), value, kCFPreferencesCurrentApplication);
}

StoredValue describe(CFTypeRef value) {
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
    // Points into the string, which the caller keeps alive while it is read.
    const char* utf8 = ((__bridge NSString*)value).UTF8String;
    stored.text = utf8 ? utf8 : "";
  }
  return stored;
}

}  // namespace

std::optional<SettingsValue> MacSettingsStore::object(const std::string& key) const {
  @autoreleasepool {
    const auto name = makeKey(key);
    if (!name) return std::nullopt;
    const mac::ScopedCFTypeRef<CFPropertyListRef> value(
        CFPreferencesCopyAppValue(name.get(), kCFPreferencesCurrentApplication));
    if (!value) return std::nullopt;
    return settingsValueFrom(describe(value.get()));
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
