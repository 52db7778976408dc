// Objects that aggregate the free-threaded marshaler travel between apartments by pointer,
// also after the apartment that marshalled them has ended; plain apartment objects do not.
#include "ComHolders.h"
#include "ComTestSupport.h"
#include "FreeThreadedMarshaler.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

constexpr CLSID kMarkClass = {0x5D1C2A40, 0x7E11, 0x4C0B, {0x9A, 0x3E, 0x21, 0x40, 0x6B, 0x0D, 0x55, 0x11}};

template <class Root>
class CMark : public Root, public IPersist {
public:
    static const com::InterfaceEntry* Interfaces()
    {
        if constexpr (std::is_same_v<Root, com::FreeThreadedRoot>) {
            static constexpr com::InterfaceEntry table[] = {
                com::Implements<CMark, IPersist>(IID_IPersist),
                com::MarshalsFreeThreaded<CMark>(),
                {},
            };
            return table;
        } else {
            static constexpr com::InterfaceEntry table[] = {
                com::Implements<CMark, IPersist>(IID_IPersist),
                {},
            };
            return table;
        }
    }
    STDMETHODIMP GetClassID(CLSID* clsid) override
    {
        *clsid = kMarkClass;
        return S_OK;
    }
};

// Marshals a new object on a thread of its own apartment, which then ends.
template <class Root>
IStream* MarshalFromEndedApartment(IPersist** original)
{
    IStream* stream = nullptr;
    std::thread([&] {
        comtest::ApartmentScope apartment;
        com::ComPtr<IPersist> object;
        ASSERT_EQ(S_OK, com::CreateInstance<CMark<Root>>(nullptr, IID_IPersist, object.PutVoid()));
        *original = object.Get();
        ASSERT_EQ(S_OK, CoMarshalInterThreadInterfaceInStream(IID_IPersist, object.Get(), &stream));
    }).join();
    return stream;
}

TEST(FreeThreadedMarshaler, AMarshalledObjectOutlivesItsApartmentOnlyWithTheMarshaler)
{
    comtest::ApartmentScope apartment;
    struct Case {
        bool freeThreaded;
    };
    for (const Case& c : {Case{true}, Case{false}}) {
        IPersist* original = nullptr;
        IStream* stream = c.freeThreaded ? MarshalFromEndedApartment<com::FreeThreadedRoot>(&original)
                                         : MarshalFromEndedApartment<com::ObjectRoot<com::ApartmentThreading>>(&original);
        ASSERT_NE(nullptr, stream);
        com::ComPtr<IPersist> unmarshalled;
        const HRESULT hr = CoGetInterfaceAndReleaseStream(stream, IID_IPersist, unmarshalled.PutVoid());
        if (c.freeThreaded) {
            ASSERT_EQ(S_OK, hr);
            EXPECT_EQ(original, unmarshalled.Get());  // the object itself, no proxy
            CLSID clsid{};
            EXPECT_EQ(S_OK, unmarshalled->GetClassID(&clsid));
            EXPECT_TRUE(IsEqualCLSID(kMarkClass, clsid));
        } else {
            EXPECT_TRUE(FAILED(hr) || unmarshalled.Get() != original);
        }
    }
}

TEST(FreeThreadedMarshaler, TheMarshalerAnswersForTheObjectAndDelegatesIUnknownToIt)
{
    comtest::ApartmentScope apartment;
    com::ComPtr<IPersist> object;
    ASSERT_EQ(S_OK, com::CreateInstance<CMark<com::FreeThreadedRoot>>(nullptr, IID_IPersist, object.PutVoid()));
    com::ComPtr<IMarshal> marshal;
    ASSERT_EQ(S_OK, object.As(&marshal, IID_IMarshal));
    com::ComPtr<IPersist> back;
    EXPECT_EQ(S_OK, marshal.As(&back, IID_IPersist));
    EXPECT_EQ(object.Get(), back.Get());
    CLSID unmarshaler{};
    EXPECT_EQ(S_OK, marshal->GetUnmarshalClass(IID_IPersist, object.Get(), MSHCTX_INPROC, nullptr, MSHLFLAGS_NORMAL,
                                               &unmarshaler));
}

}  // namespace
