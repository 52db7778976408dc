#include "CObject.h"

#include "CArchive.h"

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace {

std::vector<const CRuntimeClass*>& Registry()
{
    static std::vector<const CRuntimeClass*> classes;
    return classes;
}

std::mutex& RegistryLock()
{
    static std::mutex lock;
    return lock;
}

}  // namespace

const CRuntimeClass CObject::classCObject = {"CObject", static_cast<int>(sizeof(CObject)), 0xFFFF, nullptr, nullptr};

const CRuntimeClass* CObject::GetRuntimeClass() const { return &classCObject; }

void CObject::Serialize(CArchive&) {}

bool CObject::IsKindOf(const CRuntimeClass* cls) const { return GetRuntimeClass()->IsDerivedFrom(cls); }

CObject* CRuntimeClass::CreateObject() const { return m_pfnCreateObject ? m_pfnCreateObject() : nullptr; }

bool CRuntimeClass::IsDerivedFrom(const CRuntimeClass* base) const
{
    for (const CRuntimeClass* c = this; c; c = c->m_pBaseClass)
        if (c == base)
            return true;
    return false;
}

AfxClassInit::AfxClassInit(const CRuntimeClass* record)
{
    std::lock_guard<std::mutex> hold(RegistryLock());
    Registry().push_back(record);
}

const CRuntimeClass* CRuntimeClass::FromName(const char* className)
{
    if (!className)
        return nullptr;
    std::lock_guard<std::mutex> hold(RegistryLock());
    for (const CRuntimeClass* c : Registry())
        if (std::strcmp(c->m_lpszClassName, className) == 0)
            return c;
    return nullptr;
}

const CRuntimeClass* CRuntimeClass::FromName(const wchar_t* className)
{
    if (!className)
        return nullptr;
    std::string narrow;
    for (const wchar_t* p = className; *p; ++p) {
        if (*p > 0x7F)
            return nullptr;  // class names are plain ASCII
        narrow += static_cast<char>(*p);
    }
    return FromName(narrow.c_str());
}
