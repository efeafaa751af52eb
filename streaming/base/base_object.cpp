#include "streaming/base/base_object.h"

#include "server/module_state.h"

volatile LONG CBaseObject::m_cObjects = 0;

CBaseObject::CBaseObject(const TCHAR* name) : m_pName(name) {
  InterlockedIncrement(&m_cObjects);
  ovl::server::AddObject();
}

CBaseObject::~CBaseObject() {
  ovl::server::ReleaseObject();
  InterlockedDecrement(&m_cObjects);
}

LONG CBaseObject::ObjectsActive() { return InterlockedCompareExchange(&m_cObjects, 0, 0); }
