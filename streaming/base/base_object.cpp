#include "streaming/base/base_object.h"

#include "streaming/base/module_state.h"

volatile LONG CBaseObject::m_cObjects = 0;

CBaseObject::CBaseObject(const TCHAR* name) : m_pName(name) {
  InterlockedIncrement(&m_cObjects);
  ovl::module::AddObject();
}

CBaseObject::~CBaseObject() {
  ovl::module::ReleaseObject();
  InterlockedDecrement(&m_cObjects);
}

LONG CBaseObject::ObjectsActive() { return InterlockedCompareExchange(&m_cObjects, 0, 0); }
