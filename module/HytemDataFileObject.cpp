#include "ComObject.h"
#include "DataFileHsLogHYTEM.h"
#include "HytemFactories.h"

const char* const s_hytemExtensions[5] = {"h2m", "h1m", "h1s", "h2s", ""};

CDataFile* CreateHytemDataFile() {
  try {
    return CComObject<CDataFileHsLogHYTEM>::CreateInstance();
  } catch (...) {
    return nullptr;
  }
}
