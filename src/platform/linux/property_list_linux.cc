// Any thread: each dictionary is its own libplist tree.
#include "platform/linux/property_list_linux.h"

#include <plist/plist.h>

#include <cstdlib>
#include <limits>

namespace velmoryn::plist {
namespace {

plist_t node(void* p) {
  return static_cast<plist_t>(p);
}

std::optional<std::string> xmlOf(plist_t tree) {
  char* xml = nullptr;
  std::uint32_t length = 0;
  plist_to_xml(tree, &xml, &length);
  if (xml == nullptr) return std::nullopt;
  std::string bytes(xml, length);
  plist_to_xml_free(xml);
  return bytes;
}

plist_t parseTree(std::string_view bytes) {
  if (bytes.empty() || bytes.size() > std::numeric_limits<std::uint32_t>::max()) return nullptr;
  plist_t parsed = nullptr;
  plist_from_memory(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &parsed);
  return parsed;
}

// The binary dictionary as the XML reader gives it back: one entry per key,
// the last one where a binary file names a key twice. (Walking the keys
// instead would trip the library's assertion on a key with a NUL inside, and
// its node copy cuts such strings short.) Null when the round trip fails.
plist_t asReadBackFromXml(plist_t dict) {
  const std::optional<std::string> xml = xmlOf(dict);
  plist_t again = xml ? parseTree(*xml) : nullptr;
  if (again != nullptr && plist_get_node_type(again) != PLIST_DICT) {
    plist_free(again);
    return nullptr;
  }
  return again;
}

}  // namespace

// The one place that tells libplist's node types apart.
Type ValueView::type() const {
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN:
      return Type::boolean;
    case PLIST_UINT:
      return Type::integer;
    case PLIST_REAL:
      return Type::real;
    case PLIST_STRING:
      return Type::string;
    case PLIST_DATE:
      return Type::date;
    case PLIST_DATA:
      return Type::data;
    case PLIST_ARRAY:
      return Type::array;
    case PLIST_DICT:
      return Type::dictionary;
    default:
      return Type::other;
  }
}

std::optional<Scalar> ValueView::scalar() const {
  switch (type()) {
    case Type::boolean: {
      std::uint8_t value = 0;
      plist_get_bool_val(node, &value);
      return Scalar{value != 0};
    }
    case Type::integer: {
      // The library keeps every integer in 64 bits; a negative one comes back
      // as its two's complement.
      std::uint64_t value = 0;
      plist_get_uint_val(node, &value);
      return Scalar{static_cast<std::int64_t>(value)};
    }
    case Type::real: {
      double value = 0;
      plist_get_real_val(node, &value);
      return Scalar{value};
    }
    case Type::string: {
      std::uint64_t length = 0;
      const char* text = plist_get_string_ptr(node, &length);
      return Scalar{text != nullptr ? std::string(text, static_cast<std::size_t>(length))
                                    : std::string()};
    }
    default:
      return std::nullopt;
  }
}

double ValueView::date() const {
  std::int32_t seconds = 0, microseconds = 0;
  plist_get_date_val(node, &seconds, &microseconds);
  return seconds + microseconds / 1e6;
}

std::string ValueView::data() const {
  char* bytes = nullptr;
  std::uint64_t length = 0;
  plist_get_data_val(node, &bytes, &length);
  std::string copy(bytes != nullptr ? bytes : "", bytes != nullptr ? length : 0);
  std::free(bytes);
  return copy;
}

std::vector<ValueView> ValueView::items() const {
  std::vector<ValueView> items;
  if (type() != Type::array) return items;
  const std::uint32_t size = plist_array_get_size(node);
  for (std::uint32_t i = 0; i < size; ++i)
    items.push_back(ValueView(plist_array_get_item(node, i)));
  return items;
}

std::vector<std::pair<std::string, ValueView>> ValueView::entries() const {
  std::vector<std::pair<std::string, ValueView>> entries;
  if (type() != Type::dictionary) return entries;
  plist_dict_iter it = nullptr;
  plist_dict_new_iter(node, &it);
  for (;;) {
    char* key = nullptr;
    plist_t item = nullptr;
    plist_dict_next_item(node, it, &key, &item);
    if (item == nullptr) break;
    entries.emplace_back(key != nullptr ? key : "", ValueView(item));
    std::free(key);
  }
  std::free(it);
  return entries;
}

Dictionary::Dictionary() : dict(plist_new_dict()) {}

Dictionary::~Dictionary() {
  if (dict != nullptr) plist_free(node(dict));
}

// The one moved from is left empty, never without a tree.
Dictionary::Dictionary(Dictionary&& other) noexcept : dict(other.dict) {
  other.dict = plist_new_dict();
}

Dictionary& Dictionary::operator=(Dictionary&& other) noexcept {
  if (this != &other) std::swap(dict, other.dict);
  return *this;
}

std::variant<Dictionary, Dictionary::ParseError> Dictionary::parse(std::string_view bytes) {
  plist_t parsed = parseTree(bytes);
  if (parsed == nullptr) return ParseError::notAPropertyList;
  Dictionary loaded(parsed);
  if (plist_get_node_type(parsed) != PLIST_DICT) return ParseError::notADictionary;
  // Only a binary file can name a key twice; XML files are read as they are.
  if (bytes.starts_with("bplist")) {
    if (plist_t again = asReadBackFromXml(parsed)) loaded = Dictionary(again);
  }
  return loaded;
}

std::optional<std::string> Dictionary::xml() const {
  return xmlOf(node(dict));
}

std::optional<ValueView> Dictionary::find(const std::string& key) const {
  plist_t item = plist_dict_get_item(node(dict), key.c_str());
  if (item == nullptr) return std::nullopt;
  return ValueView(item);
}

ValueView Dictionary::view() const {
  return ValueView(dict);
}

void Dictionary::set(const std::string& key, const Scalar& value) {
  plist_t item = std::visit(
      [](const auto& v) -> plist_t {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, bool>) {
          return plist_new_bool(v ? 1 : 0);
        } else if constexpr (std::is_same_v<T, std::int64_t>) {
          return plist_new_uint(static_cast<std::uint64_t>(v));  // read back as signed
        } else if constexpr (std::is_same_v<T, double>) {
          return plist_new_real(v);
        } else {
          return plist_new_string(v.c_str());
        }
      },
      value);
  plist_dict_set_item(node(dict), key.c_str(), item);  // frees a value it replaces
}

bool Dictionary::remove(const std::string& key) {
  if (plist_dict_get_item(node(dict), key.c_str()) == nullptr) return false;
  plist_dict_remove_item(node(dict), key.c_str());
  return true;
}

}  // namespace velmoryn::plist
