#include "registry_upcase.h"

#include <algorithm>

namespace orv_posix {

char16_t registryUpcase(char16_t unit) {
  if (unit < 0x80) return unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - (u'a' - u'A')) : unit;
  const RegistryUpcasePair* end = kRegistryUpcaseTable + kRegistryUpcaseTableSize;
  const RegistryUpcasePair* found = std::lower_bound(
      kRegistryUpcaseTable, end, unit, [](const RegistryUpcasePair& pair, char16_t key) { return pair.unit < key; });
  return found != end && found->unit == unit ? found->upper : unit;
}

std::u16string foldRegistryName(std::u16string_view name) {
  std::u16string folded(name);
  for (char16_t& unit : folded) unit = registryUpcase(unit);
  return folded;
}

}  // namespace orv_posix
