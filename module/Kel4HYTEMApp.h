// The module's application object: it sets up the COM bookkeeping when the
// module is attached and runs its termination list when it is detached.
#pragma once

#include "CWinApp.h"

class CKel4HYTEMApp : public CWinApp {
 public:
  CKel4HYTEMApp() : CWinApp(nullptr) {}
  BOOL InitInstance() override;
  int ExitInstance() override;
};
