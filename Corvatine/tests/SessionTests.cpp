// The object against the stand-in: finding devices by name, connecting as the server's
// client, the connection states, the status texts and the caller-buffer guards.
#include "ZuneTestSupport.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using namespace zunetest;

class ZuneSession : public ::testing::Test {
protected:
    MtaScope m_com;
    Server m_server;
    // No box of the server ever waits for a person.
    comtest::ServerMessageBoxes m_boxes{L"Corvatine.dll"};
};

TEST_F(ZuneSession, DevicesAreFoundByFriendlyNameIgnoringCaseAndAnEmptyNameIsMicrosoftZune)
{
    Devices devices(std::vector<Device>{L"", L"Microsoft Zune", L"Kitchen Zune"});
    struct Case {
        const wchar_t* name;
        ULONG indexIn;
        HRESULT result;
        ULONG index;
        const wchar_t* output;
    };
    const Case cases[] = {
        {L"kitchen zune", static_cast<ULONG>(-1), S_OK, 2, L""},
        {L"microsoft zune", static_cast<ULONG>(-1), S_OK, 0, L""},  // the first of the two
        {L"Garage Zune", 1, S_OK, 1, L""},                         // an index passed in stands
        {L"Garage Zune", static_cast<ULONG>(-1), E_FAIL, static_cast<ULONG>(-1),
         L"ERROR:  'Garage Zune' device could not be located"},
        {L"Garage Zune", 3, E_FAIL, 3, L"ERROR:  'Garage Zune' device could not be located"},
    };
    for (const Case& c : cases) {
        com::ComPtr<IZuneSupport> zune = m_server.Create();
        ASSERT_TRUE(zune);
        Output output;
        ULONG index = c.indexIn, count = 0;
        EXPECT_EQ(c.result, zune->Initialize(B(c.name), &index, &count, output.Buffer(), output.Length(), nullptr))
            << CString(c.name).ToNarrow();
        EXPECT_EQ(3u, count);
        EXPECT_EQ(c.index, index);
        EXPECT_EQ(CString(c.output), output.Text());
    }
}

TEST_F(ZuneSession, WithoutAFixtureThereIsNoDeviceAndGetConnectedAsksForARetry)
{
    com::ComPtr<IZuneSupport> zune = m_server.Create();
    ASSERT_TRUE(zune);
    Output output;
    ULONG index = 0, count = 7;
    EXPECT_EQ(E_FAIL, zune->Initialize(B(L"Zune"), &index, &count, output.Buffer(), output.Length(), nullptr));
    EXPECT_EQ(0u, count);
    EXPECT_EQ(CString(L"ERROR:  No Windows portable devices found."), output.Text());

    ASSERT_TRUE(m_boxes.Installed());
    m_boxes.SetAnswer(IDRETRY);
    LONG retry = 0;
    EXPECT_EQ(E_FAIL, zune->GetConnected(B(L"Zune"), &index, nullptr, nullptr, 0, nullptr, output.Buffer(),
                                         output.Length(), &retry));
    EXPECT_EQ(1, retry);
    EXPECT_EQ(CString(L"shown"), output.Text());
    ASSERT_EQ(1u, m_boxes.Boxes().size());
    EXPECT_EQ(CString(L"Can't access the device 'Zune': No Zune devices found.  Please reconnect it and try again."),
              m_boxes.Boxes()[0].text);
    EXPECT_EQ(CString(L"Vesperlin Zune Client"), m_boxes.Boxes()[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_ICONWARNING | MB_RETRYCANCEL), m_boxes.Boxes()[0].type);

    // The device appears: the retry finds it (a reset object looks again).
    Devices devices(std::vector<Device>{L"Zune"});
    retry = 0;
    EXPECT_EQ(S_OK, zune->GetConnected(B(L"Zune"), &index, nullptr, nullptr, 0, nullptr, output.Buffer(),
                                       output.Length(), &retry));
    EXPECT_EQ(0u, index);
}

// What each step of the wizard's use leaves: the result, the status text, and so the state.
TEST_F(ZuneSession, ConnectionStatesAndTheirStatusTexts)
{
    Devices devices(std::vector<Device>{L"Hall Zune", L"Zune"});
    com::ComPtr<IZuneSupport> zune = m_server.Create();
    ASSERT_TRUE(zune);
    ULONG index = static_cast<ULONG>(-1), count = 0;
    LONG retry = 0;
    ULONGLONG capacity = 0, freeSpace = 0;
    Output out;
    const auto initialize = [&] {
        return zune->Initialize(B(L"Zune"), &index, &count, out.Buffer(), out.Length(), nullptr);
    };
    const auto connect = [&] {
        out.Fill(L"untouched");
        return zune->GetConnected(B(L"Zune"), &index, nullptr, nullptr, 0, nullptr, out.Buffer(), out.Length(), &retry);
    };
    const auto storage = [&] { return zune->GetDeviceStorageSize(&capacity, &freeSpace, out.Buffer(), out.Length()); };
    const auto transfer = [&] {
        return zune->TransferToZune(B(L""), B(L"C:\\none.mp3"), nullptr, B(L"T"), B(L"T"), B(L"A"), 0, 0, nullptr,
                                    out.Buffer(), out.Length());
    };
    const auto target = [&] { return zune->DoesTargetExist(nullptr, B(L"x"), out.Buffer(), out.Length()); };
    struct Step {
        const char* what;
        std::function<HRESULT()> run;
        HRESULT result;
        const wchar_t* output;
    };
    const Step steps[] = {
        {"storage while new", storage, E_FAIL, L"ERROR:  device is not connected"},
        {"transfer while new", transfer, E_FAIL, L"connect the Zune device"},
        {"target while new", target, E_FAIL, L""},
        {"initialize", initialize, S_OK, L""},
        {"storage while located", storage, E_FAIL, L"ERROR:  device is not connected"},
        {"connect", connect, S_OK, L""},
        {"initialize while connected", initialize, S_OK, L"Connected"},
        {"connect while connected leaves the text", connect, S_OK, L"untouched"},
        {"storage while connected", storage, S_OK, L""},
        {"reset 0: opened", [&] { return zune->ResetDevice(0); }, S_OK, L""},
        {"storage while opened", storage, E_FAIL, L"ERROR:  device is not connected"},
        {"initialize while opened", initialize, S_OK, L""},
        {"connect again", connect, S_OK, L""},
        {"reset 1: located", [&] { return zune->ResetDevice(1); }, S_OK, L""},
        {"storage after reset 1", storage, E_FAIL, L"ERROR:  device is not connected"},
        {"connect after reset 1", connect, S_OK, L""},
        {"reset 2: none", [&] { return zune->ResetDevice(2); }, S_OK, L""},
        {"reset on none", [&] { return zune->ResetDevice(5); }, S_OK, L""},
        {"storage after reset 2", storage, E_FAIL, L"ERROR:  device is not connected"},
        {"connect after reset 2 looks again", connect, S_OK, L""},
        {"storage after it", storage, S_OK, L""},
    };
    for (const Step& step : steps) {
        EXPECT_EQ(step.result, step.run()) << step.what;
        EXPECT_EQ(CString(step.output), out.Text()) << step.what;
    }
    EXPECT_EQ(1u, index);
    EXPECT_EQ(8000000000ull, capacity);
    EXPECT_EQ(6000000000ull, freeSpace);
}

TEST_F(ZuneSession, FirmwareCheckNeedsAMajorVersionAboveTwo)
{
    const wchar_t* const update =
        L"To work with audiobooks, your Zune needs an update. Connect it to the Zune software, then go to Device "
        L"Update in Device Settings.\nYou must be using at least version 3.0 of the Zune software (you can see "
        L"version info in General Settings).";
    struct Case {
        const wchar_t* firmware;
        bool readable;
        HRESULT result;
        const wchar_t* output;
        const wchar_t* box;  // how the box's text begins; nullptr: no box
    };
    const Case cases[] = {
        {L"3.0", true, S_OK, L"", nullptr},
        {L"10.2.1", true, S_OK, L"", nullptr},
        {L"2.5", true, E_ABORT, update, nullptr},
        {L"3", true, E_ABORT, update, nullptr},
        {L"", true, E_ABORT, L"shown", L"Unable to connect to Zune device ('Zune').\n\n"},
        {L"", false, E_ABORT, L"shown",
         L"Unable to connect to Zune device ('Zune').\n\nERROR: Failed to check Zune device firmware version (0x"},
    };
    for (const Case& c : cases) {
        Device device{L"Zune"};
        device.firmware = c.firmware;
        device.firmwareReadable = c.readable;
        Devices devices({device});
        m_boxes.Clear();
        com::ComPtr<IZuneSupport> zune = m_server.Create();
        Output out;
        EXPECT_EQ(c.result, Connect(zune.Get(), L"Zune", nullptr, &out)) << CString(c.firmware).ToNarrow();
        EXPECT_EQ(CString(c.output), out.Text());
        ASSERT_EQ(c.box ? 1u : 0u, m_boxes.Boxes().size());
        if (c.box) {
            EXPECT_EQ(0, m_boxes.Boxes()[0].text.Find(c.box)) << m_boxes.Boxes()[0].text.ToNarrow();
            EXPECT_EQ(static_cast<UINT>(MB_ICONWARNING | MB_OK), m_boxes.Boxes()[0].type);
        }
        // Still connected afterwards.
        ULONG index = 9, count = 0;
        EXPECT_EQ(S_OK, zune->Initialize(B(L"Zune"), &index, &count, out.Buffer(), out.Length(), nullptr));
        EXPECT_EQ(CString(L"Connected"), out.Text());
        EXPECT_EQ(0u, index);
    }
}

TEST_F(ZuneSession, CheckConnectionReportsWhetherThisClientHoldsTheDevice)
{
    Device other{L"Shared Zune"};
    other.extra = L"HoldingClient=Some Other Program\r\n";
    Device ours{L"Our Zune"};
    Device named{L"Named Zune"};
    named.extra = L"HoldingClient=VESPERLIN ZUNE CLIENT\r\n";
    Devices devices({other, ours, named});
    struct Case {
        const wchar_t* name;
        bool connect;
        LONG connected;
    };
    for (const Case& c : {Case{L"Our Zune", true, 1}, Case{L"Named Zune", true, 1}, Case{L"Shared Zune", true, 0},
                          Case{L"Our Zune", false, 0}}) {
        com::ComPtr<IZuneSupport> zune = m_server.Create();
        if (c.connect) {
            ASSERT_EQ(S_OK, Connect(zune.Get(), c.name));
        }
        Output out;
        out.Fill(L"kept");
        LONG connected = 7;
        EXPECT_EQ(S_OK, zune->CheckConnection(B(c.name), nullptr, out.Buffer(), out.Length(), &connected));
        EXPECT_EQ(c.connected, connected) << CString(c.name).ToNarrow();
        EXPECT_EQ(CString(L"kept"), out.Text());
    }
    com::ComPtr<IZuneSupport> zune = m_server.Create();
    EXPECT_EQ(E_POINTER, zune->CheckConnection(nullptr, nullptr, nullptr, 0, nullptr));
}

TEST_F(ZuneSession, ABusyDeviceFailsTheConnectionWithItsCodeAndTheRetryConnects)
{
    Device busy{L"Zune"};
    busy.extra = L"BusyOpens=1\r\n";
    Devices devices({busy});
    m_boxes.SetAnswer(IDRETRY);
    com::ComPtr<IZuneSupport> zune = m_server.Create();
    Output out;
    ULONG index = static_cast<ULONG>(-1), count = 0;
    ASSERT_EQ(S_OK, zune->Initialize(B(L"Zune"), &index, &count, out.Buffer(), out.Length(), nullptr));
    LONG retry = 0;
    EXPECT_EQ(static_cast<HRESULT>(0x80045000),
              zune->GetConnected(B(L"Zune"), &index, nullptr, nullptr, 0, nullptr, out.Buffer(), out.Length(), &retry));
    EXPECT_EQ(1, retry);
    EXPECT_EQ(CString(L"shown"), out.Text());
    ASSERT_EQ(1u, m_boxes.Boxes().size());
    EXPECT_EQ(CString(L"Can't access the device 'Zune': Initialize failed (0x80045000).  Please reconnect it and try "
                      L"again."),
              m_boxes.Boxes()[0].text);
    EXPECT_EQ(S_OK,
              zune->GetConnected(B(L"Zune"), &index, nullptr, nullptr, 0, nullptr, out.Buffer(), out.Length(), &retry));
}

TEST_F(ZuneSession, CallerBuffersAreWrittenOnlyWithinTheLengthGiven)
{
    Devices devices(std::vector<Device>{L"Zune"});
    com::ComPtr<IZuneSupport> zune = m_server.Create();
    ASSERT_TRUE(zune);
    struct Case {
        ULONG length;
        const wchar_t* expected;
    };
    // "ERROR:  device is not connected" into buffers of several lengths.
    for (const Case& c : {Case{1, L""}, Case{8, L"ERROR: "}, Case{31, L"ERROR:  device is not connecte"},
                          Case{32, L"ERROR:  device is not connected"}, Case{1024, L"ERROR:  device is not connected"}}) {
        Output out(c.length);
        ULONGLONG capacity = 0, freeSpace = 0;
        EXPECT_EQ(E_FAIL, zune->GetDeviceStorageSize(&capacity, &freeSpace, out.Buffer(), out.Length()));
        EXPECT_EQ(CString(c.expected), out.Text()) << c.length;
        EXPECT_TRUE(out.GuardIntact()) << c.length;
    }
    // A length of 0 writes nothing at all; a null buffer is no fault.
    Output zero(4);
    zero.Fill(L"abc");
    ULONGLONG capacity = 0, freeSpace = 0;
    EXPECT_EQ(E_FAIL, zune->GetDeviceStorageSize(&capacity, &freeSpace, zero.Buffer(), 0));
    EXPECT_EQ(CString(L"abc"), zero.Text());
    EXPECT_EQ(E_FAIL, zune->GetDeviceStorageSize(&capacity, &freeSpace, nullptr, 1024));
    EXPECT_EQ(E_FAIL, zune->DeleteFromZune(B(L"x"), nullptr, nullptr, 1024));

    // Null in/out arguments are refused, not written through.
    Output out;
    EXPECT_EQ(E_POINTER, zune->Initialize(B(L"Zune"), nullptr, nullptr, out.Buffer(), out.Length(), nullptr));
    ULONG index = static_cast<ULONG>(-1), count = 0;
    EXPECT_EQ(E_POINTER, zune->GetConnected(B(L"Zune"), &index, nullptr, nullptr, 0, nullptr, out.Buffer(),
                                            out.Length(), nullptr));
    ASSERT_EQ(S_OK, Connect(zune.Get(), L"Zune"));
    EXPECT_EQ(E_POINTER, zune->GetDeviceStorageSize(nullptr, &freeSpace, out.Buffer(), out.Length()));
    // A long text into a short buffer, once connected: the not-located name is cut.
    com::ComPtr<IZuneSupport> other = m_server.Create();
    Output shortOut(12);
    const std::wstring longName(3000, L'n');
    EXPECT_EQ(E_FAIL, other->Initialize(B(longName.c_str()), &index, &count, shortOut.Buffer(), shortOut.Length(),
                                        nullptr));
    EXPECT_EQ(CString(L"ERROR:  'nn"), shortOut.Text());
    EXPECT_TRUE(shortOut.GuardIntact());
}

TEST_F(ZuneSession, StorageSizeOfTheConnectedDeviceAndOfANamedOne)
{
    Device noCapacity{L"Small Zune"};
    noCapacity.storageCapacity = false;
    noCapacity.freeSpace = 12345;
    Devices devices({{L"Zune"}, noCapacity});
    com::ComPtr<IZuneSupport> zune = m_server.Create();
    ASSERT_EQ(S_OK, Connect(zune.Get(), L"Small Zune"));
    Output out;
    ULONGLONG capacity = 99, freeSpace = 99;
    EXPECT_EQ(S_OK, zune->GetDeviceStorageSize(&capacity, &freeSpace, out.Buffer(), out.Length()));
    EXPECT_EQ(0u, capacity);
    EXPECT_EQ(12345u, freeSpace);
    EXPECT_EQ(S_OK, zune->GetDeviceStorageSizeEx(B(L"zune"), &capacity, &freeSpace, out.Buffer(), out.Length()));
    EXPECT_EQ(8000000000ull, capacity);
    EXPECT_EQ(6000000000ull, freeSpace);
    EXPECT_EQ(E_FAIL, zune->GetDeviceStorageSizeEx(B(L"Lost Zune"), &capacity, &freeSpace, out.Buffer(), out.Length()));
    EXPECT_EQ(CString(L"ERROR:  'Lost Zune' device could not be located"), out.Text());
}

}  // namespace
