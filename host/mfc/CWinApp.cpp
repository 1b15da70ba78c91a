#include "CWinApp.h"

#include <map>
#include <mutex>

namespace {
std::mutex& StartupLock() {
  static std::mutex m;
  return m;
}
std::map<std::string, bool>& StartupResults() {
  static std::map<std::string, bool> results;
  return results;
}
}  // namespace

CWinApp::CWinApp(const char* pszAppName) : m_strAppName(pszAppName ? pszAppName : "") {}

CDllModuleStartup::CDllModuleStartup(CWinApp& app, const char* pszModule) : m_app(app) {
  m_bInitialised = app.InitInstance() != FALSE;
  std::lock_guard<std::mutex> lock(StartupLock());
  StartupResults()[pszModule ? pszModule : ""] = m_bInitialised;
}

CDllModuleStartup::~CDllModuleStartup() {
  if (m_bInitialised) m_app.ExitInstance();
}

bool AfxModuleInitialised(const char* pszModule) {
  std::lock_guard<std::mutex> lock(StartupLock());
  auto it = StartupResults().find(pszModule ? pszModule : "");
  return it != StartupResults().end() && it->second;
}
