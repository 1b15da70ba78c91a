#include "NameValueDefn.h"

std::unique_ptr<NameValueDefnMap> CreateNameValueDefnMap() {
  auto map = std::make_unique<NameValueDefnMap>(kNameValueDefnMapBlockSize);
  map->InitHashTable(kNameValueDefnMapBuckets);
  return map;
}
