// The application object of a module, and the start-up and clean-up that MFC
// runs for a regular DLL: InitInstance when the module is attached,
// ExitInstance when it is detached. A module places one CDllModuleStartup
// after its other static objects, so that it runs when they all exist.
#pragma once

#include <string>

#include "afxtypes.h"

class CWinApp {
 public:
  explicit CWinApp(const char* pszAppName = nullptr);
  virtual ~CWinApp() = default;
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  virtual BOOL InitInstance() { return TRUE; }
  virtual int ExitInstance() { return 0; }
  const char* GetAppName() const { return m_strAppName.c_str(); }

 private:
  std::string m_strAppName;
};

class CDllModuleStartup {
 public:
  CDllModuleStartup(CWinApp& app, const char* pszModule);
  ~CDllModuleStartup();
  CDllModuleStartup(const CDllModuleStartup&) = delete;
  CDllModuleStartup& operator=(const CDllModuleStartup&) = delete;

 private:
  CWinApp& m_app;
  bool m_bInitialised;
};

// The outcome of the most recent start-up of the named module; false when the
// module refused to load (its InitInstance failed) or never started.
bool AfxModuleInitialised(const char* pszModule);
