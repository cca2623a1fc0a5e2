#include "platform/macos/settings_store_mac.h"

#import <Foundation/Foundation.h>

#include "platform/stored_value.h"

namespace velmoryn {
namespace {

// Owns one reference obtained under the Create or Copy rule.
class ScopedCFType {
 public:
  explicit ScopedCFType(CFTypeRef ref) : ref(ref) {}
  ~ScopedCFType() {
    if (ref != nullptr) CFRelease(ref);
  }
  ScopedCFType(const ScopedCFType&) = delete;
  ScopedCFType& operator=(const ScopedCFType&) = delete;
  CFTypeRef get() const { return ref; }

 private:
  CFTypeRef ref;
};

ScopedCFType makeKey(const std::string& key) {
  return ScopedCFType(CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(key.data()),
                                              static_cast<CFIndex>(key.size()),
                                              kCFStringEncodingUTF8, false));
}

void store(const std::string& key, CFPropertyListRef value) {
  ScopedCFType name = makeKey(key);
  if (name.get() == nullptr) return;
  CFPreferencesSetAppValue(static_cast<CFStringRef>(name.get()), value,
                           kCFPreferencesCurrentApplication);
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
    ScopedCFType name = makeKey(key);
    if (name.get() == nullptr) return std::nullopt;
    ScopedCFType value(CFPreferencesCopyAppValue(static_cast<CFStringRef>(name.get()),
                                                 kCFPreferencesCurrentApplication));
    if (value.get() == nullptr) return std::nullopt;
    return settingsValueFrom(describe(value.get()));
  }
}

void MacSettingsStore::setBool(const std::string& key, bool value) {
  store(key, value ? kCFBooleanTrue : kCFBooleanFalse);
}

void MacSettingsStore::setInteger(const std::string& key, std::int64_t value) {
  ScopedCFType number(CFNumberCreate(nullptr, kCFNumberSInt64Type, &value));
  if (number.get() != nullptr) store(key, number.get());
}

void MacSettingsStore::setDouble(const std::string& key, double value) {
  ScopedCFType number(CFNumberCreate(nullptr, kCFNumberDoubleType, &value));
  if (number.get() != nullptr) store(key, number.get());
}

// Setting no value removes the key.
void MacSettingsStore::remove(const std::string& key) { store(key, nullptr); }

bool MacSettingsStore::synchronize() {
  return CFPreferencesAppSynchronize(kCFPreferencesCurrentApplication);
}

}  // namespace velmoryn
