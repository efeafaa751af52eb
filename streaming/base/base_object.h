#pragma once
// Every object of the framework (filters, pins, enumerators, class factories)
// counts itself, so that the module knows when it may unload.
#include <windows.h>

class CBaseObject {
 public:
  explicit CBaseObject(const TCHAR* name);
  ~CBaseObject();
  CBaseObject(const CBaseObject&) = delete;
  CBaseObject& operator=(const CBaseObject&) = delete;

  // Framework objects alive in this module right now.
  static LONG ObjectsActive();

 protected:
  const TCHAR* m_pName;  // for debugging only; not owned

 private:
  static volatile LONG m_cObjects;
};
