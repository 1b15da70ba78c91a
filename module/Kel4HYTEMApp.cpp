#include "Kel4HYTEMApp.h"

#include "ComModule.h"

BOOL CKel4HYTEMApp::InitInstance() {
  s_comModule.Init();
  return CWinApp::InitInstance();
}

int CKel4HYTEMApp::ExitInstance() {
  s_comModule.Term();
  return CWinApp::ExitInstance();
}
