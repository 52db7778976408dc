// Run-time classes: lookup by name, dynamic creation, derivation and checked casts.
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

class CAnimal : public CObject {
    DECLARE_DYNAMIC(CAnimal)
};
IMPLEMENT_DYNAMIC(CAnimal, CObject)

class CDog : public CAnimal {
    DECLARE_DYNCREATE(CDog)
};
IMPLEMENT_DYNCREATE(CDog, CAnimal)

class CStoredDog : public CDog {
    DECLARE_SERIAL(CStoredDog)
};
IMPLEMENT_SERIAL(CStoredDog, CDog, 3)

}  // namespace

TEST(RuntimeClass, RecordsNameSizeSchemaAndBase)
{
    const CRuntimeClass* stored = RUNTIME_CLASS(CStoredDog);
    EXPECT_STREQ(stored->m_lpszClassName, "CStoredDog");
    EXPECT_EQ(stored->m_nObjectSize, static_cast<int>(sizeof(CStoredDog)));
    EXPECT_EQ(stored->m_wSchema, 3u);
    EXPECT_TRUE(stored->IsSerializable());
    EXPECT_FALSE(RUNTIME_CLASS(CDog)->IsSerializable());
    EXPECT_EQ(stored->m_pBaseClass, RUNTIME_CLASS(CDog));

    // Lookup by name, in either kind of text; unknown names give null.
    EXPECT_EQ(CRuntimeClass::FromName("CStoredDog"), stored);
    EXPECT_EQ(CRuntimeClass::FromName(L"CDog"), RUNTIME_CLASS(CDog));
    EXPECT_EQ(CRuntimeClass::FromName("CMapStringToString"), RUNTIME_CLASS(CMapStringToString));
    EXPECT_EQ(CRuntimeClass::FromName("CNoSuchClass"), nullptr);
}

TEST(RuntimeClass, CreatesOnlyCreatableClassesAndCastsOnlyAlongTheChain)
{
    EXPECT_EQ(RUNTIME_CLASS(CAnimal)->CreateObject(), nullptr);  // dynamic, not creatable
    CObject* made = RUNTIME_CLASS(CStoredDog)->CreateObject();
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->GetRuntimeClass(), RUNTIME_CLASS(CStoredDog));
    EXPECT_TRUE(made->IsKindOf(RUNTIME_CLASS(CDog)));
    EXPECT_TRUE(made->IsKindOf(RUNTIME_CLASS(CObject)));
    EXPECT_FALSE(made->IsKindOf(RUNTIME_CLASS(CFile)));
    EXPECT_TRUE(RUNTIME_CLASS(CStoredDog)->IsDerivedFrom(RUNTIME_CLASS(CAnimal)));
    EXPECT_FALSE(RUNTIME_CLASS(CAnimal)->IsDerivedFrom(RUNTIME_CLASS(CDog)));

    EXPECT_EQ(DYNAMIC_DOWNCAST(CAnimal, made), made);
    EXPECT_EQ(DYNAMIC_DOWNCAST(CFile, made), nullptr);
    EXPECT_EQ(DYNAMIC_DOWNCAST(CAnimal, nullptr), nullptr);
    delete made;
}
